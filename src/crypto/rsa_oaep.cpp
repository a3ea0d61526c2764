// RSA decryption with the Chinese remainder theorem, checked by re-encrypting (a key whose
// parts disagree decrypts nothing), and OAEP decoding that accepts and refuses the same
// blocks as the vendor tool's library.
#include "crypto/rsa_oaep.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "crypto/sha.h"

namespace {

constexpr std::uint8_t kTagInteger = 0x02;
constexpr std::uint8_t kTagOctetString = 0x04;
constexpr std::uint8_t kTagNull = 0x05;
constexpr std::uint8_t kTagObjectId = 0x06;
constexpr std::uint8_t kTagSequence = 0x30;
// 1.2.840.113549.1.1.1, rsaEncryption.
constexpr std::uint8_t kRsaEncryptionOid[] = {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x01, 0x01};
// Lengths of more than four bytes would describe more than any key holds.
constexpr std::size_t kMaxLengthBytes = 4;
// Moduli beyond this are refused before any arithmetic: eiftool makes up to 4096 bits.
constexpr std::size_t kMaxModulusBits = 16384;
constexpr std::size_t kHashBytes = 20;

// A DER reader over a byte range that never reads past its end.
class CDerReader {
 public:
  CDerReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  bool AtEnd() const { return m_pos == m_size; }

  // The contents of the next element, which must carry tag.
  bool Next(std::uint8_t tag, CDerReader& contents) {
    if (m_size - m_pos < 2 || m_data[m_pos] != tag) return false;
    std::size_t length = m_data[m_pos + 1];
    m_pos += 2;
    if (length & 0x80) {
      const std::size_t bytes = length & 0x7f;
      // Indefinite lengths (0x80) are not DER; nor is a long form with a leading zero.
      if (bytes == 0 || bytes > kMaxLengthBytes || m_size - m_pos < bytes || m_data[m_pos] == 0) return false;
      length = 0;
      for (std::size_t i = 0; i < bytes; ++i) length = (length << 8) | m_data[m_pos++];
      if (length < 0x80) return false;
    }
    if (length > m_size - m_pos) return false;
    contents = CDerReader(m_data + m_pos, length);
    m_pos += length;
    return true;
  }

  // A non-negative INTEGER in its shortest form.
  bool NextUnsigned(Limbs& number) {
    CDerReader contents(nullptr, 0);
    if (!Next(kTagInteger, contents) || contents.m_size == 0) return false;
    const std::uint8_t* bytes = contents.m_data;
    if (bytes[0] & 0x80) return false;
    if (contents.m_size > 1 && bytes[0] == 0 && !(bytes[1] & 0x80)) return false;
    number = LimbsFromBytes(bytes, contents.m_size);
    return true;
  }

  bool NextZero() {
    Limbs number;
    return NextUnsigned(number) && number.empty();
  }

  bool Equals(const std::uint8_t* bytes, std::size_t size) const {
    return m_size == size && std::memcmp(m_data, bytes, size) == 0;
  }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

// The RSAPrivateKey's numbers: n, e, d, p, q, dp, dq, qinv.
bool ReadRsaPrivateKey(CDerReader octets, std::array<Limbs, 8>& parts) {
  CDerReader key(nullptr, 0);
  if (!octets.Next(kTagSequence, key) || !octets.AtEnd() || !key.NextZero()) return false;
  for (Limbs& part : parts) {
    if (!key.NextUnsigned(part)) return false;
  }
  // Version 0 has exactly these parts; version 1 (more primes) is refused above.
  return key.AtEnd();
}

bool ReadPkcs8(const std::uint8_t* der, std::size_t size, std::array<Limbs, 8>& parts) {
  CDerReader whole(der, size), info(nullptr, 0), algorithm(nullptr, 0), oid(nullptr, 0), octets(nullptr, 0);
  if (!whole.Next(kTagSequence, info) || !whole.AtEnd() || !info.NextZero()) return false;
  if (!info.Next(kTagSequence, algorithm) || !algorithm.Next(kTagObjectId, oid) ||
      !oid.Equals(kRsaEncryptionOid, sizeof kRsaEncryptionOid)) {
    return false;
  }
  if (!algorithm.AtEnd()) {
    CDerReader null(nullptr, 0);
    if (!algorithm.Next(kTagNull, null) || !null.AtEnd() || !algorithm.AtEnd()) return false;
  }
  // Attributes may follow the key ([0] IMPLICIT); Setup has no use for them.
  return info.Next(kTagOctetString, octets) && ReadRsaPrivateKey(octets, parts);
}

// MGF1 with SHA-1: xors the mask made from seed into data.
void MaskWithMgf1(const std::uint8_t* seed, std::size_t seedSize, std::uint8_t* data, std::size_t size) {
  for (std::uint32_t counter = 0; size > 0; ++counter) {
    CSha1Hash hash;
    hash.Update(seed, seedSize);
    const std::uint8_t counterBytes[4] = {static_cast<std::uint8_t>(counter >> 24),
                                          static_cast<std::uint8_t>(counter >> 16),
                                          static_cast<std::uint8_t>(counter >> 8), static_cast<std::uint8_t>(counter)};
    hash.Update(counterBytes, sizeof counterBytes);
    const CSha1Hash::Digest mask = hash.Final();
    const std::size_t take = std::min(size, mask.size());
    for (std::size_t i = 0; i < take; ++i) data[i] ^= mask[i];
    data += take;
    size -= take;
  }
}

}  // namespace

CRsaOaepDecryptor::CRsaOaepDecryptor(Limbs n, Limbs e, Limbs p, Limbs q, Limbs dp, Limbs dq, Limbs qinv)
    : m_n(std::move(n)),
      m_e(std::move(e)),
      m_p(std::move(p)),
      m_q(std::move(q)),
      m_dp(std::move(dp)),
      m_dq(std::move(dq)),
      m_modN(m_n),
      m_modP(m_p),
      m_modQ(m_q),
      m_qinvMont(m_modP.ToMontgomery(qinv)),
      m_blockBytes((BitLength(m_n) + 7) / 8) {}

std::optional<CRsaOaepDecryptor> CRsaOaepDecryptor::FromPkcs8(const std::uint8_t* der, std::size_t size) {
  std::array<Limbs, 8> parts;
  if (!ReadPkcs8(der, size, parts)) return std::nullopt;
  auto& [n, e, d, p, q, dp, dq, qinv] = parts;
  static_cast<void>(d);
  const Limbs one{1};
  // Montgomery arithmetic needs odd moduli; a modulus that is not p q is no key at all.
  if (BitLength(n) > kMaxModulusBits || !IsOdd(n) || !IsOdd(p) || !IsOdd(q) || !IsOdd(e) || CompareLimbs(p, one) <= 0 ||
      CompareLimbs(q, one) <= 0 || CompareLimbs(MultiplyLimbs(p, q), n) != 0) {
    return std::nullopt;
  }
  return CRsaOaepDecryptor(n, e, p, q, dp, dq, qinv);
}

Limbs CRsaOaepDecryptor::PrivateOperation(const Limbs& c) const {
  const Limbs m1 = m_modP.FromMontgomery(m_modP.Power(m_modP.ToMontgomery(c), m_dp));
  const Limbs m2 = m_modQ.FromMontgomery(m_modQ.Power(m_modQ.ToMontgomery(c), m_dq));
  // m = m2 + q (qinv (m1 - m2) mod p), which lies below p q.
  const Limbs m2ModP = m_modP.FromMontgomery(m_modP.ToMontgomery(m2));
  // (a R^-1)(qinv R) is already out of Montgomery form.
  const Limbs h = m_modP.Multiply(m_modP.SubtractModulo(m1, m2ModP), m_qinvMont);
  return AddLimbs(m2, MultiplyLimbs(h, m_q));
}

std::optional<std::size_t> CRsaOaepDecryptor::Decrypt(const std::uint8_t* block, std::uint8_t* out) const {
  const std::size_t k = m_blockBytes;
  if (k < 2 * kHashBytes + 2) return std::nullopt;
  const Limbs c = LimbsFromBytes(block, k);
  if (CompareLimbs(c, m_n) >= 0) return std::nullopt;
  const Limbs m = PrivateOperation(c);
  // A fault anywhere in the key (a wrong d, p or qinv) gives a number that does not encrypt
  // back to the block; such a block is as invalid as a corrupted one.
  if (CompareLimbs(m_modN.FromMontgomery(m_modN.Power(m_modN.ToMontgomery(m), m_e)), c) != 0) return std::nullopt;
  std::vector<std::uint8_t> encoded(k);
  if (!LimbsToBytes(m, encoded.data(), k)) return std::nullopt;
  // encoded = 0x00 || masked seed (20) || masked DB; DB = lHash || 0x00 ... || 0x01 || message.
  std::uint8_t* seed = encoded.data() + 1;
  std::uint8_t* db = seed + kHashBytes;
  const std::uint8_t* dbConst = db;
  const std::size_t dbSize = k - 1 - kHashBytes;
  MaskWithMgf1(db, dbSize, seed, kHashBytes);
  MaskWithMgf1(seed, kHashBytes, db, dbSize);
  static const CSha1Hash::Digest emptyLabelHash = CSha1Hash::Of(nullptr, 0);
  const std::uint8_t* end = db + dbSize;
  const std::uint8_t* separator = std::find_if(dbConst + kHashBytes, end, [](std::uint8_t byte) { return byte != 0; });
  if (encoded[0] != 0 || !std::equal(emptyLabelHash.begin(), emptyLabelHash.end(), db) || separator == end ||
      *separator != 0x01) {
    return std::nullopt;
  }
  const std::size_t length = static_cast<std::size_t>(end - separator - 1);
  std::memcpy(out, separator + 1, length);
  return length;
}
