// RSAES-OAEP decryption (SHA-1, MGF1-SHA-1, empty label) with an RSA private key given as
// the DER bytes of a PKCS #8 PrivateKeyInfo: the description's blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "crypto/big_number.h"

class CRsaOaepDecryptor {
 public:
  // None for anything but a well-formed key: a PrivateKeyInfo of version 0 for rsaEncryption
  // (parameters absent or NULL) whose octet string is exactly one RSAPrivateKey of version 0,
  // positive integers, odd primes whose product is the modulus, nothing left over anywhere.
  static std::optional<CRsaOaepDecryptor> FromPkcs8(const std::uint8_t* der, std::size_t size);

  // k, the modulus' length in bytes: the length of every cipher block.
  std::size_t CipherBlockBytes() const { return m_blockBytes; }
  // k - 42: the longest message a block can hold.
  std::size_t MaxPlainBytes() const { return m_blockBytes > 42 ? m_blockBytes - 42 : 0; }

  // Decrypts one block of CipherBlockBytes() bytes into out (room for MaxPlainBytes()); the
  // message's length, or none for an invalid block: a number not below the modulus, an
  // encoding whose first byte is not zero, whose label hash differs from SHA-1 of nothing, or
  // without the 0x01 after the zero padding.
  std::optional<std::size_t> Decrypt(const std::uint8_t* block, std::uint8_t* out) const;

 private:
  CRsaOaepDecryptor(Limbs n, Limbs e, Limbs p, Limbs q, Limbs dp, Limbs dq, Limbs qinv);
  Limbs PrivateOperation(const Limbs& c) const;

  Limbs m_n, m_e, m_p, m_q, m_dp, m_dq;
  CMontgomery m_modN, m_modP, m_modQ;
  Limbs m_qinvMont;  // qinv R mod p
  std::size_t m_blockBytes;
};
