// Ed25519 verification of description files with Crypto++.
#include "description/description_signature.h"

#include <cryptopp/cryptlib.h>
#include <cryptopp/xed25519.h>

#include <new>

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::string SigningKeyFromHex(std::string_view hex) {
  if (hex.size() != 2 * kSigningPublicKeyBytes) return {};
  std::string key;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return {};
    key.push_back(static_cast<char>(high * 16 + low));
  }
  return key;
}

bool IsValidDescriptionSignature(const ByteBuffer& file, const ByteBuffer& signature, std::string_view publicKey) {
  if (publicKey.size() != kSigningPublicKeyBytes || signature.size() != kDescriptionSignatureBytes) return false;
  try {
    const CryptoPP::ed25519Verifier verifier(reinterpret_cast<const CryptoPP::byte*>(publicKey.data()));
    return verifier.VerifyMessage(file.data(), file.size(), signature.data(), signature.size());
  } catch (const CryptoPP::Exception&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool HasValidSignatureFile(const std::wstring& path, const ByteBuffer& file, std::string_view publicKey) {
  const std::optional<ByteBuffer> signature = ReadWholeFile(path + kSignatureSuffix, kDescriptionSignatureBytes);
  return signature && IsValidDescriptionSignature(file, *signature, publicKey);
}
