// Big-number arithmetic for RSA decryption: schoolbook products and Montgomery
// multiplication (CIOS), with a fixed four-bit window for exponentiation.
#include "crypto/big_number.h"

#include <algorithm>

namespace {

using Wide = WideLimb;
constexpr unsigned kLimbBits = 8 * sizeof(Limb);
// Exponent bits taken at a time: 16 table entries save most multiplications for RSA's long
// private exponents.
constexpr unsigned kWindowBits = 4;
constexpr std::size_t kShortExponentBits = 64;

void Trim(Limbs& a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
}

std::size_t Significant(const Limbs& a) {
  std::size_t size = a.size();
  while (size > 0 && a[size - 1] == 0) --size;
  return size;
}

Limb LimbAt(const Limbs& a, std::size_t i) { return i < a.size() ? a[i] : 0; }

// a -= b over a's length (a >= b); returns the borrow out of the top.
Limb SubtractInPlace(Limb* a, std::size_t size, const Limbs& b) {
  Limb borrow = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const Wide difference = static_cast<Wide>(a[i]) - LimbAt(b, i) - borrow;
    a[i] = static_cast<Limb>(difference);
    borrow = static_cast<Limb>((difference >> kLimbBits) & 1);
  }
  return borrow;
}

// (a >= m) over size limbs plus an extra top limb of a.
bool AtLeast(const Limb* a, std::size_t size, Limb top, const Limbs& m) {
  if (top != 0) return true;
  for (std::size_t i = size; i-- > 0;) {
    if (a[i] != m[i]) return a[i] > m[i];
  }
  return true;
}

}  // namespace

Limbs LimbsFromBytes(const std::uint8_t* bytes, std::size_t size) {
  Limbs number((size + sizeof(Limb) - 1) / sizeof(Limb), 0);
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t bit = 8 * (size - 1 - i);
    number[bit / kLimbBits] |= static_cast<Limb>(bytes[i]) << (bit % kLimbBits);
  }
  Trim(number);
  return number;
}

bool LimbsToBytes(const Limbs& number, std::uint8_t* bytes, std::size_t size) {
  if (BitLength(number) > 8 * size) return false;
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t bit = 8 * (size - 1 - i);
    bytes[i] = static_cast<std::uint8_t>(LimbAt(number, bit / kLimbBits) >> (bit % kLimbBits));
  }
  return true;
}

int CompareLimbs(const Limbs& a, const Limbs& b) {
  const std::size_t sizeA = Significant(a), sizeB = Significant(b);
  if (sizeA != sizeB) return sizeA < sizeB ? -1 : 1;
  for (std::size_t i = sizeA; i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

Limbs MultiplyLimbs(const Limbs& a, const Limbs& b) {
  Limbs product(a.size() + b.size(), 0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    Wide carry = 0;
    for (std::size_t j = 0; j < b.size(); ++j) {
      const Wide t = static_cast<Wide>(a[i]) * b[j] + product[i + j] + carry;
      product[i + j] = static_cast<Limb>(t);
      carry = t >> kLimbBits;
    }
    product[i + b.size()] = static_cast<Limb>(carry);
  }
  Trim(product);
  return product;
}

Limbs AddLimbs(const Limbs& a, const Limbs& b) {
  Limbs sum(std::max(a.size(), b.size()) + 1, 0);
  Wide carry = 0;
  for (std::size_t i = 0; i + 1 < sum.size(); ++i) {
    const Wide t = static_cast<Wide>(LimbAt(a, i)) + LimbAt(b, i) + carry;
    sum[i] = static_cast<Limb>(t);
    carry = t >> kLimbBits;
  }
  sum.back() = static_cast<Limb>(carry);
  Trim(sum);
  return sum;
}

bool IsOdd(const Limbs& a) { return !a.empty() && (a[0] & 1) != 0; }

std::size_t BitLength(const Limbs& a) {
  const std::size_t size = Significant(a);
  if (size == 0) return 0;
  std::size_t bits = (size - 1) * kLimbBits;
  for (Limb top = a[size - 1]; top != 0; top >>= 1) ++bits;
  return bits;
}

CMontgomery::CMontgomery(const Limbs& oddModulus) : m_modulus(oddModulus) {
  Trim(m_modulus);
  const std::size_t s = m_modulus.size();
  // Newton's iteration doubles the correct low bits of the inverse each step (3 -> 96).
  Limb inverse = m_modulus[0];
  for (int i = 0; i < 5; ++i) inverse *= 2 - m_modulus[0] * inverse;
  m_inverse = static_cast<Limb>(0 - inverse);
  // R^2 mod m by doubling 1 modulo m 2 x (limb bits) x s times; once per key, so plain is good enough.
  m_r2.assign(s, 0);
  m_r2[0] = 1;
  for (std::size_t step = 0; step < 2 * kLimbBits * s; ++step) {
    Limb carry = 0;
    for (Limb& limb : m_r2) {
      const Limb next = limb >> (kLimbBits - 1);
      limb = static_cast<Limb>((limb << 1) | carry);
      carry = next;
    }
    if (AtLeast(m_r2.data(), s, carry, m_modulus)) SubtractInPlace(m_r2.data(), s, m_modulus);
  }
}

void CMontgomery::MultiplyInto(const Limb* a, const Limb* b, Limb* out, Limb* t) const {
  const std::size_t s = m_modulus.size();
  const Limb* m = m_modulus.data();
  std::fill(t, t + s + 2, 0);
  for (std::size_t i = 0; i < s; ++i) {
    const Wide bi = b[i];
    Wide carry = 0;
    for (std::size_t j = 0; j < s; ++j) {
      const Wide sum = a[j] * bi + t[j] + carry;
      t[j] = static_cast<Limb>(sum);
      carry = sum >> kLimbBits;
    }
    Wide sum = static_cast<Wide>(t[s]) + carry;
    t[s] = static_cast<Limb>(sum);
    t[s + 1] = static_cast<Limb>(sum >> kLimbBits);
    const Wide u = static_cast<Limb>(t[0] * m_inverse);
    carry = (u * m[0] + t[0]) >> kLimbBits;
    for (std::size_t j = 1; j < s; ++j) {
      sum = u * m[j] + t[j] + carry;
      t[j - 1] = static_cast<Limb>(sum);
      carry = sum >> kLimbBits;
    }
    sum = static_cast<Wide>(t[s]) + carry;
    t[s - 1] = static_cast<Limb>(sum);
    t[s] = static_cast<Limb>(t[s + 1] + (sum >> kLimbBits));
  }
  // a b < m R, so t < 2m: at most one subtraction.
  if (AtLeast(t, s, t[s], m_modulus)) SubtractInPlace(t, s + 1, m_modulus);
  std::copy(t, t + s, out);
}

Limbs CMontgomery::Multiply(const Limbs& a, const Limbs& b) const {
  const std::size_t s = m_modulus.size();
  Limbs paddedA(s, 0), paddedB(s, 0), t(s + 2), out(s);
  std::copy(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(std::min(a.size(), s)), paddedA.begin());
  std::copy(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min(b.size(), s)), paddedB.begin());
  MultiplyInto(paddedA.data(), paddedB.data(), out.data(), t.data());
  return out;
}

Limbs CMontgomery::ToMontgomery(const Limbs& x) const {
  // x = sum of chunks c_i R^i with c_i < R, so x R = sum of Multiply(c_i, R^(i+2)); each
  // product is below m R, as Multiply needs, whatever the chunk.
  const std::size_t s = m_modulus.size();
  Limbs result(s, 0);
  Limbs power = m_r2;
  for (std::size_t start = 0; start < Significant(x); start += s) {
    const auto end = x.begin() + static_cast<std::ptrdiff_t>(std::min(start + s, x.size()));
    const Limbs chunk(x.begin() + static_cast<std::ptrdiff_t>(start), end);
    const Limbs term = Multiply(chunk, power);
    Limbs sum = term;
    sum.push_back(0);
    Wide carry = 0;
    for (std::size_t i = 0; i < s; ++i) {
      const Wide t = static_cast<Wide>(sum[i]) + result[i] + carry;
      sum[i] = static_cast<Limb>(t);
      carry = t >> kLimbBits;
    }
    sum[s] = static_cast<Limb>(carry);
    if (AtLeast(sum.data(), s, sum[s], m_modulus)) SubtractInPlace(sum.data(), s + 1, m_modulus);
    result.assign(sum.begin(), sum.begin() + static_cast<std::ptrdiff_t>(s));
    power = Multiply(power, m_r2);
  }
  return result;
}

Limbs CMontgomery::FromMontgomery(const Limbs& x) const {
  Limbs result = Multiply(x, Limbs{1});
  Trim(result);
  return result;
}

Limbs CMontgomery::SubtractModulo(const Limbs& a, const Limbs& b) const {
  const std::size_t s = m_modulus.size();
  Limbs result(s, 0);
  std::copy(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(std::min(a.size(), s)), result.begin());
  if (SubtractInPlace(result.data(), s, b) != 0) {
    // Wrapped below zero: adding m brings it back into range.
    Wide carry = 0;
    for (std::size_t i = 0; i < s; ++i) {
      const Wide t = static_cast<Wide>(result[i]) + m_modulus[i] + carry;
      result[i] = static_cast<Limb>(t);
      carry = t >> kLimbBits;
    }
  }
  return result;
}

Limbs CMontgomery::Power(const Limbs& base, const Limbs& exponent) const {
  const std::size_t s = m_modulus.size();
  const std::size_t bits = BitLength(exponent);
  // A public exponent (65537) is not worth a table; a private one is.
  const unsigned window = bits > kShortExponentBits ? kWindowBits : 1;
  std::vector<Limbs> table(std::size_t{1} << window);
  table[0] = ToMontgomery(Limbs{1});
  for (std::size_t i = 1; i < table.size(); ++i) table[i] = Multiply(table[i - 1], base);
  Limbs result = table[0];
  Limbs scratch(s + 2);
  const std::size_t windows = (bits + window - 1) / window;
  for (std::size_t w = windows; w-- > 0;) {
    if (w + 1 != windows) {
      for (unsigned i = 0; i < window; ++i) MultiplyInto(result.data(), result.data(), result.data(), scratch.data());
    }
    const std::size_t bit = w * window;
    const Limb digit = (exponent[bit / kLimbBits] >> (bit % kLimbBits)) & ((Limb{1} << window) - 1);
    if (digit != 0) MultiplyInto(result.data(), table[digit].data(), result.data(), scratch.data());
  }
  return result;
}
