// Making EIF files in tests, with the public half of the built-in key or of another one.
#pragma once

#include <gtest/gtest.h>

#include <string>

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
