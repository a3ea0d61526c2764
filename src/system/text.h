// Conversions between the core's wide text and the bytes of files, system calls and the
// network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// UTF-8 for Linux system calls and terminal output; invalid input is replaced, never fatal.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view bytes);

// 8-bit text as the system reads it: the ANSI code page on Windows; on Linux UTF-8, where
// bytes that are not valid UTF-8 are read as Windows-1252 so that files written on Windows
// load.
std::wstring DecodeNarrowText(std::string_view bytes);
// The reverse, for files handed to other programs: ANSI code page on Windows (characters
// outside it become the code page's replacement), UTF-8 on Linux.
std::string EncodeNarrowText(std::wstring_view text);

// UTF-16LE bytes (without their byte-order mark) up to the first zero code unit or the end;
// an odd last byte is ignored. On Linux surrogate pairs become one character and a lone
// surrogate becomes U+FFFD; on Windows the code units are kept as they are.
std::wstring FromUtf16Le(std::string_view bytes);

// Fills count bytes from exactly 2 x count hex digits (either case); false for anything else.
bool DecodeHexDigits(std::wstring_view hex, std::uint8_t* out, std::size_t count);
// The 2 x count hex digits of count bytes, high digit first: lower case as sha256sum prints
// digests, upper case as URLs escape bytes.
enum class HexCase { Lower, Upper };
std::string EncodeHexDigits(const void* bytes, std::size_t count, HexCase letters = HexCase::Lower);

// Upper-cases the ASCII letters a to z only; every other character stays as it is.
std::wstring AsciiUpper(std::wstring_view text);
// True for a character above U+00FF that the platform's wide classification calls a space
// (iswspace on Windows). Linux answers as Windows does: its C locale, the one Setup runs in,
// knows no space beyond ASCII, and a description must trim alike on both.
bool IsWideSpace(wchar_t c);
// Lower-cases the whole text as the platform's text rules do (CharLowerW on Windows).
std::wstring LowerCase(std::wstring_view text);

// value in decimal, zero-padded to width characters as printf's "%0*d" does (a sign counts).
void AppendPadded(std::wstring& text, std::int64_t value, std::size_t width);
// value in decimal, as std::to_wstring gives it, without the formatted-print engine.
std::wstring DecimalText(std::int64_t value);

// UTC seconds since 1970 as "%d-%m-%Y %H:%M:%S" (day-month-year, 24-hour clock).
std::wstring FormatUtcTime(std::int64_t utcSeconds);
