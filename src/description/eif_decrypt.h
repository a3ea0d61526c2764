// Decryption of EIF files: a 13-character signature, a zero byte, then RSAES-OAEP (SHA-1)
// blocks of the key's modulus length, each holding up to m bytes of the description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "system/file.h"

// Files larger than this are refused before reading: a setup description is a few kilobytes,
// and the whole file is held in memory while it is decrypted.
inline constexpr std::uint64_t kMaxEifFileBytes = 16u << 20;
inline constexpr std::size_t kEifSignatureLength = 13;

// On success buffer holds the plaintext followed by zero bytes (n x m + 1 bytes for n blocks)
// and size the plaintext's length; on any failure buffer is empty (std::nullopt) and size 0.
// key is the hex text of a PKCS #8 DER RSA private key. Never shows a message.
void DecryptEifFile(const std::wstring& path, std::optional<ByteBuffer>& buffer, std::size_t& size,
                    std::string_view key, std::wstring_view signature);

// The same for the bytes of an EIF file already read (checked before they reach decryption).
void DecryptEifBytes(const ByteBuffer& file, std::optional<ByteBuffer>& buffer, std::size_t& size, std::string_view key,
                     std::wstring_view signature);

// The whole file plus one zero byte (size = length + 1); nothing for a missing or empty file.
void ReadPlainFile(const std::wstring& path, std::optional<ByteBuffer>& buffer, std::size_t& size);

// The key and signature built into this program (WEBSETUP_DESCRIPTION_KEY_FILE and
// WEBSETUP_EIF_SIGNATURE at configure time).
std::string_view GetBuiltInDescriptionKey();
std::wstring_view GetBuiltInEifSignature();
