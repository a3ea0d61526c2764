// Unsigned big numbers for RSA: little-endian limbs, and modular arithmetic in Montgomery
// form for an odd modulus. Variable time: the only private key Setup holds is in
// every copy of it, so there is nothing for a timing side channel to reveal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Limbs of 64 bits where the compiler has a 128-bit product (x86_64: four times fewer limb
// products than with 32 bits), else 32 bits (i686). WEBSETUP_CRYPTO_LIMB32 forces 32 bits, so
// that the tests run that arithmetic on a 64-bit machine too.
#if defined(__SIZEOF_INT128__) && !defined(WEBSETUP_CRYPTO_LIMB32)
using Limb = std::uint64_t;
using WideLimb = unsigned __int128;
#else
using Limb = std::uint32_t;
using WideLimb = std::uint64_t;
#endif
using Limbs = std::vector<Limb>;

// Big-endian bytes (leading zeros allowed) to limbs without leading zero limbs, and back into
// exactly size bytes (false when the number does not fit).
Limbs LimbsFromBytes(const std::uint8_t* bytes, std::size_t size);
bool LimbsToBytes(const Limbs& number, std::uint8_t* bytes, std::size_t size);

// -1, 0 or 1 as a < b, a == b, a > b; leading zero limbs do not count.
int CompareLimbs(const Limbs& a, const Limbs& b);
Limbs MultiplyLimbs(const Limbs& a, const Limbs& b);
// a + b, without leading zero limbs.
Limbs AddLimbs(const Limbs& a, const Limbs& b);
bool IsOdd(const Limbs& a);
// Significant bits.
std::size_t BitLength(const Limbs& a);

// Arithmetic modulo an odd modulus m > 1 with R = 2^(limb bits x s), s the modulus' limb count.
// Numbers in Montgomery form (x R mod m) have exactly s limbs.
class CMontgomery {
 public:
  explicit CMontgomery(const Limbs& oddModulus);
  // x R mod m for any x, however long.
  Limbs ToMontgomery(const Limbs& x) const;
  // x mod m from Montgomery form, without leading zero limbs.
  Limbs FromMontgomery(const Limbs& x) const;
  // a b R^-1 mod m.
  Limbs Multiply(const Limbs& a, const Limbs& b) const;
  // base^exponent in Montgomery form, base in Montgomery form.
  Limbs Power(const Limbs& base, const Limbs& exponent) const;
  // (a - b) mod m for a, b < m in either form.
  Limbs SubtractModulo(const Limbs& a, const Limbs& b) const;

 private:
  // out = a b R^-1 mod m over s limbs each; out may be a or b; t has s + 2 limbs.
  void MultiplyInto(const Limb* a, const Limb* b, Limb* out, Limb* t) const;

  Limbs m_modulus;
  Limb m_inverse = 0;  // -m^-1 modulo 2^(limb bits)
  Limbs m_r2;          // R^2 mod m
};
