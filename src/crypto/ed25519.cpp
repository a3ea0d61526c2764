// Ed25519 verification over GF(2^255 - 19) with sixteen 16-bit limbs held in 64-bit
// integers: small and portable rather than fast, as Setup checks one signature per run.
#include "crypto/ed25519.h"

#include <array>
#include <cstring>

#include "crypto/sha.h"

namespace {

using Fe = std::array<std::int64_t, 16>;

struct CPoint {
  Fe x, y, z, t;  // extended coordinates: x = X/Z, y = Y/Z, x y = T/Z
};

constexpr Fe kZero{};
constexpr Fe kOne{1};
// d = -121665/121666, 2d, sqrt(-1) and the base point's coordinates.
constexpr Fe kD{0x78a3, 0x1359, 0x4dca, 0x75eb, 0xd8ab, 0x4141, 0x0a4d, 0x0070,
                0xe898, 0x7779, 0x4079, 0x8cc7, 0xfe73, 0x2b6f, 0x6cee, 0x5203};
constexpr Fe kD2{0xf159, 0x26b2, 0x9b94, 0xebd6, 0xb156, 0x8283, 0x149a, 0x00e0,
                 0xd130, 0xeef3, 0x80f2, 0x198e, 0xfce7, 0x56df, 0xd9dc, 0x2406};
constexpr Fe kSqrtMinusOne{0xa0b0, 0x4a0e, 0x1b27, 0xc4ee, 0xe478, 0xad2f, 0x1806, 0x2f43,
                           0xd7a7, 0x3dfb, 0x0099, 0x2b4d, 0xdf0b, 0x4fc1, 0x2480, 0x2b83};
constexpr Fe kBaseX{0xd51a, 0x8f25, 0x2d60, 0xc956, 0xa7b2, 0x9525, 0xc760, 0x692c,
                    0xdc5c, 0xfdd6, 0xe231, 0xc0a4, 0x53fe, 0xcd6e, 0x36d3, 0x2169};
constexpr Fe kBaseY{0x6658, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666,
                    0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666};
// The group order L = 2^252 + 27742317777372353535851937790883648493, little-endian.
constexpr std::uint8_t kOrder[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                     0xa2, 0xde, 0xf9, 0xde, 0x14, 0,    0,    0,    0,    0,    0,
                                     0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10};

void Carry(Fe& o) {
  for (std::size_t i = 0; i < 16; ++i) {
    o[i] += std::int64_t{1} << 16;
    const std::int64_t c = o[i] >> 16;
    // 2^256 = 38 modulo 2^255 - 19: the top limb's carry wraps round to the bottom.
    if (i < 15) {
      o[i + 1] += c - 1;
    } else {
      o[0] += 38 * (c - 1);
    }
    o[i] -= c * 65536;
  }
}

Fe Add(const Fe& a, const Fe& b) {
  Fe o;
  for (std::size_t i = 0; i < 16; ++i) o[i] = a[i] + b[i];
  return o;
}

Fe Sub(const Fe& a, const Fe& b) {
  Fe o;
  for (std::size_t i = 0; i < 16; ++i) o[i] = a[i] - b[i];
  return o;
}

Fe Mul(const Fe& a, const Fe& b) {
  std::int64_t t[31] = {};
  for (std::size_t i = 0; i < 16; ++i) {
    for (std::size_t j = 0; j < 16; ++j) t[i + j] += a[i] * b[j];
  }
  for (std::size_t i = 0; i < 15; ++i) t[i] += 38 * t[i + 16];
  Fe o;
  for (std::size_t i = 0; i < 16; ++i) o[i] = t[i];
  Carry(o);
  Carry(o);
  return o;
}

// a^(2^255 - 21) = 1/a, and a^(2^252 - 3) for the square root, by square-and-multiply over
// the exponents' bits (all ones but the bits named).
Fe Invert(const Fe& a) {
  Fe c = a;
  for (int bit = 253; bit >= 0; --bit) {
    c = Mul(c, c);
    if (bit != 2 && bit != 4) c = Mul(c, a);
  }
  return c;
}

Fe Pow2523(const Fe& a) {
  Fe c = a;
  for (int bit = 250; bit >= 0; --bit) {
    c = Mul(c, c);
    if (bit != 1) c = Mul(c, a);
  }
  return c;
}

// The canonical 32 bytes (fully reduced modulo 2^255 - 19).
std::array<std::uint8_t, 32> Pack(const Fe& n) {
  Fe t = n;
  Carry(t);
  Carry(t);
  Carry(t);
  for (int pass = 0; pass < 2; ++pass) {
    Fe m;
    m[0] = t[0] - 0xffed;
    for (std::size_t i = 1; i < 15; ++i) {
      m[i] = t[i] - 0xffff - ((m[i - 1] >> 16) & 1);
      m[i - 1] &= 0xffff;
    }
    m[15] = t[15] - 0x7fff - ((m[14] >> 16) & 1);
    const bool borrow = ((m[15] >> 16) & 1) != 0;
    m[14] &= 0xffff;
    if (!borrow) t = m;
  }
  std::array<std::uint8_t, 32> out;
  for (std::size_t i = 0; i < 16; ++i) {
    out[2 * i] = static_cast<std::uint8_t>(t[i] & 0xff);
    out[2 * i + 1] = static_cast<std::uint8_t>((t[i] >> 8) & 0xff);
  }
  return out;
}

bool Equal(const Fe& a, const Fe& b) { return Pack(a) == Pack(b); }
int Parity(const Fe& a) { return Pack(a)[0] & 1; }

// a + b with the unified formula for a = -1 twisted Edwards curves, which doubles too.
CPoint AddPoints(const CPoint& p, const CPoint& q) {
  const Fe a = Mul(Sub(p.y, p.x), Sub(q.y, q.x));
  const Fe b = Mul(Add(p.x, p.y), Add(q.x, q.y));
  const Fe c = Mul(Mul(p.t, q.t), kD2);
  Fe d = Mul(p.z, q.z);
  d = Add(d, d);
  const Fe e = Sub(b, a), f = Sub(d, c), g = Add(d, c), h = Add(b, a);
  return CPoint{Mul(e, f), Mul(h, g), Mul(g, f), Mul(e, h)};
}

CPoint ScalarMultiply(const CPoint& q, const std::uint8_t* scalar) {
  CPoint p{kZero, kOne, kOne, kZero};
  for (int bit = 255; bit >= 0; --bit) {
    p = AddPoints(p, p);
    if ((scalar[bit / 8] >> (bit % 8)) & 1) p = AddPoints(p, q);
  }
  return p;
}

std::array<std::uint8_t, 32> PackPoint(const CPoint& p) {
  const Fe zInverse = Invert(p.z);
  std::array<std::uint8_t, 32> out = Pack(Mul(p.y, zInverse));
  out[31] = static_cast<std::uint8_t>(out[31] ^ (Parity(Mul(p.x, zInverse)) << 7));
  return out;
}

bool IsCanonicalY(const std::uint8_t* bytes) {
  // Not below 2^255 - 19 only when every bit is set but a few of the lowest byte's.
  if ((bytes[31] & 0x7f) != 0x7f || bytes[0] < 0xed) return true;
  for (std::size_t i = 1; i < 31; ++i) {
    if (bytes[i] != 0xff) return true;
  }
  return false;
}

// The point from its encoding: y, and the sign of x in the top bit.
bool DecodePoint(const std::uint8_t* bytes, CPoint& point) {
  if (!IsCanonicalY(bytes)) return false;
  Fe y;
  for (std::size_t i = 0; i < 16; ++i) y[i] = bytes[2 * i] + (std::int64_t{bytes[2 * i + 1]} << 8);
  y[15] &= 0x7fff;
  // x^2 = (y^2 - 1) / (d y^2 + 1); x = num den^3 (num den^7)^((p - 5) / 8), or that times
  // sqrt(-1).
  const Fe y2 = Mul(y, y);
  const Fe num = Sub(y2, kOne);
  const Fe den = Add(Mul(y2, kD), kOne);
  const Fe den2 = Mul(den, den);
  const Fe den3 = Mul(den2, den);
  const Fe den7 = Mul(Mul(den3, den3), den);
  Fe x = Mul(Mul(Pow2523(Mul(num, den7)), num), den3);
  if (!Equal(Mul(Mul(x, x), den), num)) x = Mul(x, kSqrtMinusOne);
  if (!Equal(Mul(Mul(x, x), den), num)) return false;
  const int sign = bytes[31] >> 7;
  if (Equal(x, kZero) && sign == 1) return false;
  if (Parity(x) != sign) x = Sub(kZero, x);
  point = CPoint{x, y, kOne, Mul(x, y)};
  return true;
}

// Under a key A of small order [h]A takes at most eight values whatever the message, so anyone
// can find a message and signature that verify: such a key must never be trusted. 8A is the
// identity exactly when its x is 0 (8A cannot be (0, -1), the point of order 2, as no point has
// order 16).
bool HasSmallOrder(CPoint a) {
  for (int i = 0; i < 3; ++i) a = AddPoints(a, a);
  return Equal(a.x, kZero);
}

bool IsBelowOrder(const std::uint8_t* scalar) {
  for (std::size_t i = 32; i-- > 0;) {
    if (scalar[i] != kOrder[i]) return scalar[i] < kOrder[i];
  }
  return false;
}

// A 64-byte little-endian number modulo L, in 32 bytes.
std::array<std::uint8_t, 32> ReduceModOrder(const std::uint8_t* wide) {
  std::int64_t x[64];
  for (std::size_t i = 0; i < 64; ++i) x[i] = wide[i];
  // Folds each byte above the 32nd into the lower ones with 2^252 = -(L - 2^252) mod L.
  for (std::size_t i = 63; i >= 32; --i) {
    std::int64_t carry = 0;
    std::size_t j = i - 32;
    for (; j < i - 12; ++j) {
      x[j] += carry - 16 * x[i] * kOrder[j - (i - 32)];
      carry = (x[j] + 128) >> 8;
      x[j] -= carry * 256;
    }
    x[j] += carry;
    x[i] = 0;
  }
  std::int64_t carry = 0;
  for (std::size_t j = 0; j < 32; ++j) {
    x[j] += carry - (x[31] >> 4) * kOrder[j];
    carry = x[j] >> 8;
    x[j] &= 255;
  }
  for (std::size_t j = 0; j < 32; ++j) x[j] -= carry * kOrder[j];
  std::array<std::uint8_t, 32> out;
  for (std::size_t i = 0; i < 32; ++i) {
    x[i + 1] += x[i] >> 8;
    out[i] = static_cast<std::uint8_t>(x[i] & 255);
  }
  return out;
}

}  // namespace

bool VerifyEd25519(const std::uint8_t* publicKey, const std::uint8_t* message, std::size_t size,
                   const std::uint8_t* signature) {
  const std::uint8_t* s = signature + 32;
  CPoint a;
  if (!IsBelowOrder(s) || !DecodePoint(publicKey, a) || HasSmallOrder(a)) return false;
  CSha512Hash hash;
  hash.Update(signature, 32);
  hash.Update(publicKey, kEd25519PublicKeyBytes);
  hash.Update(message, size);
  const std::array<std::uint8_t, 32> h = ReduceModOrder(hash.Final().data());
  // R' = [S]B - [h]A must encode exactly as the signature's R. R is not refused for small order:
  // with A not of small order, such an R' needs [S]B to cancel [h] times A's part of order L,
  // which only the holder of the private key can arrange, and it forges nothing. Setup and
  // eiftool check both verify here, so they never judge such a signature differently.
  const CPoint minusA{Sub(kZero, a.x), a.y, a.z, Sub(kZero, a.t)};
  const CPoint base{kBaseX, kBaseY, kOne, Mul(kBaseX, kBaseY)};
  const CPoint r = AddPoints(ScalarMultiply(base, s), ScalarMultiply(minusA, h.data()));
  const std::array<std::uint8_t, 32> encoded = PackPoint(r);
  return std::memcmp(encoded.data(), signature, 32) == 0;
}
