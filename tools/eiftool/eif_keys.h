// What a vendor needs to make EIF files: description key pairs and the packing of a
// description's bytes with the public half of the key.
#pragma once

#include <string>
#include <string_view>

#include "description/eif_decrypt.h"

inline constexpr unsigned kDefaultKeyBits = 1024;
// Below this OAEP with SHA-1 leaves no room for even one byte of plaintext per block.
inline constexpr unsigned kMinKeyBits = 512;
inline constexpr unsigned kMaxKeyBits = 8192;

// A new RSA key pair: the private key as the program embeds it (upper-case hex of PKCS #8
// DER, no line breaks) and the public half as a PEM "PUBLIC KEY" (X.509 SubjectPublicKeyInfo).
bool GenerateDescriptionKey(unsigned bits, std::string& privateHex, std::string& publicPem, std::string& error);

// The public half of a private key in hex form, as PEM.
bool PublicPemFromPrivateKey(std::string_view privateHex, std::string& publicPem, std::string& error);

// True for exactly 13 printable ASCII characters, the only signatures a build accepts.
bool IsValidEifSignature(std::wstring_view signature);

// signature, a zero byte, then the plaintext in pieces of at most m bytes, each encrypted on
// its own with RSAES-OAEP (SHA-1, MGF1-SHA-1, empty label) under the PEM public key.
bool PackEif(std::string_view publicPem, std::wstring_view signature, const ByteBuffer& plain, ByteBuffer& eif,
             std::string& error);
