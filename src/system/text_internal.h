// Helpers shared by the portable and the Linux text conversions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

char32_t Cp1252ToCodePoint(unsigned char byte);
// Length of the valid UTF-8 sequence at pos (its code point in cp), or 0 when it is invalid.
std::size_t DecodeUtf8Sequence(std::string_view bytes, std::size_t pos, char32_t& cp);
// UTF-8 where valid; each invalid byte as Windows-1252 (or U+FFFD when cp1252Fallback is off).
std::wstring FromUtf8WithFallback(std::string_view bytes, bool cp1252Fallback);
