// Making EIF files in tests, with the public half of the built-in key or of another one.
#pragma once

#include <cryptopp/xed25519.h>
#include <gtest/gtest.h>

#include <string>

#include "description/description_signature.h"
#include "description/eif_decrypt.h"
#include "eif_keys.h"

inline std::string PublicPemOf(std::string_view privateHex) {
  std::string pem, error;
  EXPECT_TRUE(PublicPemFromPrivateKey(privateHex, pem, error)) << error;
  return pem;
}

inline const std::string& BuiltInPublicPem() {
  static const std::string pem = PublicPemOf(GetBuiltInDescriptionKey());
  return pem;
}

// The whole EIF file for plain, as eiftool pack writes it.
inline std::string MakeEif(const std::string& plain, const std::string& pem = BuiltInPublicPem(),
                           std::wstring_view signature = GetBuiltInEifSignature()) {
  ByteBuffer eif;
  std::string error;
  EXPECT_TRUE(PackEif(pem, signature, ByteBuffer(plain.begin(), plain.end()), eif, error)) << error;
  return std::string(eif.begin(), eif.end());
}

// Signature and zero byte of the built-in signature.
inline std::string EifHeader() {
  const std::wstring_view signature = GetBuiltInEifSignature();
  return std::string(signature.begin(), signature.end()) + '\0';
}

// The cipher part alone: one block for a piece of at most m bytes.
inline std::string CipherPart(const std::string& plain, const std::string& pem = BuiltInPublicPem()) {
  return MakeEif(plain, pem).substr(kEifSignatureLength + 1);
}

// An Ed25519 key pair made from a fixed seed, signing as the vendor's signing machine does.
class CTestSigningKey {
 public:
  explicit CTestSigningKey(std::uint8_t seedByte)
      : m_seed(CryptoPP::ed25519PrivateKey::SECRET_KEYLENGTH, seedByte),
        m_signer(reinterpret_cast<const CryptoPP::byte*>(m_seed.data())) {
    const auto& key = static_cast<const CryptoPP::ed25519PrivateKey&>(m_signer.GetPrivateKey());
    m_publicKey.assign(reinterpret_cast<const char*>(key.GetPublicKeyBytePtr()), kSigningPublicKeyBytes);
  }
  const std::string& PublicKey() const { return m_publicKey; }
  // The 64-byte detached signature of bytes.
  std::string Sign(const std::string& bytes) const {
    std::string signature(kDescriptionSignatureBytes, '\0');
    m_signer.SignMessage(CryptoPP::NullRNG(), reinterpret_cast<const CryptoPP::byte*>(bytes.data()), bytes.size(),
                         reinterpret_cast<CryptoPP::byte*>(signature.data()));
    return signature;
  }

 private:
  std::string m_seed;
  CryptoPP::ed25519Signer m_signer;
  std::string m_publicKey;
};
