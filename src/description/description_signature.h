// Signed descriptions: the vendor's Ed25519 signature over the exact bytes of a description
// file, kept beside it as "<file>.sig" and checked before any byte is decrypted or parsed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "crypto/ed25519.h"
#include "description/eif_decrypt.h"

// A signed description carries an Ed25519 signature, checked with an Ed25519 public key.
inline constexpr std::size_t kSigningPublicKeyBytes = kEd25519PublicKeyBytes;
inline constexpr std::size_t kDescriptionSignatureBytes = kEd25519SignatureBytes;
// Appended to the whole name of the description file it signs: "SetupInitial.eif.sig".
inline constexpr wchar_t kSignatureSuffix[] = L".sig";

// The 32 key bytes from 64 hex digits (either case); empty for anything else.
std::string SigningKeyFromHex(std::string_view hex);

// True when signature is the 64-byte Ed25519 signature of file made with the private half of
// publicKey (32 bytes). Any other length, key or signature is false; never throws.
bool IsValidDescriptionSignature(const ByteBuffer& file, const ByteBuffer& signature, std::string_view publicKey);

// Reads "<path>.sig" and checks it over file, the bytes read from path.
bool HasValidSignatureFile(const std::wstring& path, const ByteBuffer& file, std::string_view publicKey);
