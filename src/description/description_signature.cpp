// Ed25519 verification of description files with Crypto++.
#include "description/description_signature.h"

#include <cryptopp/cryptlib.h>
#include <cryptopp/xed25519.h>

#include <new>

#include "system/text.h"

std::string SigningKeyFromHex(std::string_view hex) {
  std::string key(kSigningPublicKeyBytes, '\0');
  const std::wstring wide(hex.begin(), hex.end());
  if (!DecodeHexDigits(wide, reinterpret_cast<std::uint8_t*>(key.data()), key.size())) return {};
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
