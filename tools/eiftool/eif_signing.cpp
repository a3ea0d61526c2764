// Ed25519 key files and signatures (see eif_signing.h). Crypto++ does the arithmetic; the PEM
// and DER framing of these fixed-size keys is a fixed prefix and the raw key bytes.
#include "eif_signing.h"

#include <cryptopp/base64.h>
#include <cryptopp/cryptlib.h>
#include <cryptopp/filters.h>
#include <cryptopp/osrng.h>
#include <cryptopp/secblock.h>
#include <cryptopp/xed25519.h>

#include <algorithm>

#include "description/description_signature.h"

namespace {

constexpr std::size_t kSeedBytes = 32;
// DER of PrivateKeyInfo { version 0, AlgorithmIdentifier { 1.3.101.112 }, OCTET STRING {
// OCTET STRING of 32 bytes } } up to the seed (RFC 8410).
constexpr char kPrivateDerPrefix[] = "\x30\x2e\x02\x01\x00\x30\x05\x06\x03\x2b\x65\x70\x04\x22\x04\x20";
// DER of SubjectPublicKeyInfo { AlgorithmIdentifier { 1.3.101.112 }, BIT STRING of 32 bytes }.
constexpr char kPublicDerPrefix[] = "\x30\x2a\x30\x05\x06\x03\x2b\x65\x70\x03\x21\x00";
const char kPrivateLabel[] = "PRIVATE KEY";
const char kPublicLabel[] = "PUBLIC KEY";
// PEM bodies are wrapped at 64 characters, as RFC 7468 asks and OpenSSL writes them.
constexpr std::size_t kPemLineLength = 64;
const char kMakeOne[] = "make one with 'eiftool keygen --signing' or 'openssl genpkey -algorithm ed25519'";

bool IsBase64Body(std::string_view body) {
  return std::all_of(body.begin(), body.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
           c == '=' || c == '\r' || c == '\n' || c == ' ' || c == '\t';
  });
}

// The DER inside the first PEM block, which must carry label; what else it is, if not.
bool DerFromPem(std::string_view pem, std::string_view label, std::string& der, std::string& error) {
  const std::string_view begin = "-----BEGIN ";
  const auto at = pem.find(begin);
  const auto labelEnd = at == std::string_view::npos ? at : pem.find("-----", at + begin.size());
  if (labelEnd == std::string_view::npos) {
    error = "not a PEM key file (no \"-----BEGIN\" line); " + std::string(kMakeOne);
    return false;
  }
  const std::string_view found = pem.substr(at + begin.size(), labelEnd - at - begin.size());
  if (found != label) {
    error = "is a \"" + std::string(found) + "\" PEM block, not a \"" + std::string(label) + "\"";
    if (found == "ENCRYPTED PRIVATE KEY") error += " (eiftool reads no encrypted keys; sign with openssl pkeyutl)";
    return false;
  }
  const std::string end = "-----END " + std::string(label) + "-----";
  const auto bodyStart = labelEnd + 5;
  const auto bodyEnd = pem.find(end, bodyStart);
  if (bodyEnd == std::string_view::npos || !IsBase64Body(pem.substr(bodyStart, bodyEnd - bodyStart))) {
    error = "the PEM block is damaged (no \"" + end + "\" line, or characters that are not base64)";
    return false;
  }
  der.clear();
  CryptoPP::StringSource(std::string(pem.substr(bodyStart, bodyEnd - bodyStart)), true,
                         new CryptoPP::Base64Decoder(new CryptoPP::StringSink(der)));
  return true;
}

// The key bytes behind the fixed DER prefix of an Ed25519 key.
bool KeyFromPem(std::string_view pem, std::string_view label, std::string_view prefix, std::string& key,
                std::string& error) {
  std::string der;
  if (!DerFromPem(pem, label, der, error)) return false;
  if (der.size() != prefix.size() + kSeedBytes || der.compare(0, prefix.size(), prefix) != 0) {
    error = "is not an Ed25519 key (" + std::string(kMakeOne) + ")";
    return false;
  }
  key = der.substr(prefix.size());
  return true;
}

const CryptoPP::byte* Bytes(std::string_view text) { return reinterpret_cast<const CryptoPP::byte*>(text.data()); }

}  // namespace

std::string PemBlock(std::string_view label, const std::string& der) {
  std::string base64;
  CryptoPP::StringSource(der, true, new CryptoPP::Base64Encoder(new CryptoPP::StringSink(base64), false));
  std::string pem = "-----BEGIN " + std::string(label) + "-----\n";
  for (std::size_t i = 0; i < base64.size(); i += kPemLineLength) pem += base64.substr(i, kPemLineLength) + "\n";
  return pem + "-----END " + std::string(label) + "-----\n";
}

bool GenerateSigningKey(std::string& privatePem, std::string& publicPem, std::string& error) {
  try {
    CryptoPP::SecByteBlock seed(kSeedBytes);
    CryptoPP::OS_GenerateRandomBlock(false, seed, seed.size());
    const std::string_view seedView(reinterpret_cast<const char*>(seed.data()), seed.size());
    privatePem = SigningPrivatePemOf(seedView);
    publicPem = SigningPublicPemOf(seedView);
    return true;
  } catch (const CryptoPP::Exception& e) {
    error = std::string("no random numbers from the system: ") + e.what();
    return false;
  }
}

bool SigningSeedFromPem(std::string_view pem, std::string& seed, std::string& error) {
  return KeyFromPem(pem, kPrivateLabel, std::string_view(kPrivateDerPrefix, sizeof kPrivateDerPrefix - 1), seed, error);
}

bool SigningPublicKeyFromPem(std::string_view pem, std::string& publicKey, std::string& error) {
  return KeyFromPem(pem, kPublicLabel, std::string_view(kPublicDerPrefix, sizeof kPublicDerPrefix - 1), publicKey,
                    error);
}

std::string SigningPrivatePemOf(std::string_view seed) {
  return PemBlock(kPrivateLabel, std::string(kPrivateDerPrefix, sizeof kPrivateDerPrefix - 1) + std::string(seed));
}

std::string SigningPublicPemOf(std::string_view seed) {
  const CryptoPP::ed25519Signer signer(Bytes(seed));
  const auto& key = dynamic_cast<const CryptoPP::ed25519PrivateKey&>(signer.GetPrivateKey());
  const std::string publicKey(reinterpret_cast<const char*>(key.GetPublicKeyBytePtr()), kSigningPublicKeyBytes);
  return PemBlock(kPublicLabel, std::string(kPublicDerPrefix, sizeof kPublicDerPrefix - 1) + publicKey);
}

std::string SignBytes(std::string_view seed, const ByteBuffer& bytes) {
  if (seed.size() != kSeedBytes) return {};
  const CryptoPP::ed25519Signer signer(Bytes(seed));
  std::string signature(kDescriptionSignatureBytes, '\0');
  signer.SignMessage(CryptoPP::NullRNG(), bytes.data(), bytes.size(),
                     reinterpret_cast<CryptoPP::byte*>(signature.data()));
  return signature;
}
