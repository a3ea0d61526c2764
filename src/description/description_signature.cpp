// Ed25519 verification of description files.
#include "description/description_signature.h"

#include "crypto/ed25519.h"
#include "system/file.h"
#include "system/text.h"

std::string SigningKeyFromHex(std::string_view hex) {
  std::string key(kSigningPublicKeyBytes, '\0');
  const std::wstring wide(hex.begin(), hex.end());
  if (!DecodeHexDigits(wide, reinterpret_cast<std::uint8_t*>(key.data()), key.size())) return {};
  return key;
}

bool IsValidDescriptionSignature(const ByteBuffer& file, const ByteBuffer& signature, std::string_view publicKey) {
  if (publicKey.size() != kSigningPublicKeyBytes || signature.size() != kDescriptionSignatureBytes) return false;
  return VerifyEd25519(reinterpret_cast<const std::uint8_t*>(publicKey.data()), file.data(), file.size(),
                       signature.data());
}

bool HasValidSignatureFile(const std::wstring& path, const ByteBuffer& file, std::string_view publicKey) {
  const std::optional<ByteBuffer> signature = ReadWholeFile(path + kSignatureSuffix, kDescriptionSignatureBytes);
  return signature && IsValidDescriptionSignature(file, *signature, publicKey);
}
