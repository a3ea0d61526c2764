// The SHA family's compression functions and the padding they share (big-endian words, the
// message length in bits at the end of the last block).
#include "crypto/sha.h"

#include <algorithm>
#include <cstring>

namespace {

template <class Word>
Word LoadBig(const std::uint8_t* bytes) {
  Word word = 0;
  for (std::size_t i = 0; i < sizeof(Word); ++i) word = static_cast<Word>((word << 8) | bytes[i]);
  return word;
}

template <class Word>
void StoreBig(Word word, std::uint8_t* bytes) {
  for (std::size_t i = sizeof(Word); i-- > 0;) {
    bytes[i] = static_cast<std::uint8_t>(word);
    word = static_cast<Word>(word >> 8);
  }
}

template <class Word>
Word Rotr(Word x, unsigned n) {
  return static_cast<Word>((x >> n) | (x << (8 * sizeof(Word) - n)));
}

constexpr std::uint32_t kSha256Rounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint64_t kSha512Rounds[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc, 0x3956c25bf348b538,
    0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118, 0xd807aa98a3030242, 0x12835b0145706fbe,
    0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2, 0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235,
    0xc19bf174cf692694, 0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5, 0x983e5152ee66dfab,
    0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4, 0xc6e00bf33da88fc2, 0xd5a79147930aa725,
    0x06ca6351e003826f, 0x142929670a0e6e70, 0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed,
    0x53380d139d95b3df, 0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30, 0xd192e819d6ef5218,
    0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8, 0x19a4c116b8d2d0c8, 0x1e376c085141ab53,
    0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8, 0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373,
    0x682e6ff3d6b2b8a3, 0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b, 0xca273eceea26619c,
    0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178, 0x06f067aa72176fba, 0x0a637dc5a2c898a6,
    0x113f9804bef90dae, 0x1b710b35131c471b, 0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc,
    0x431d67c49c100d4c, 0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};

// SHA-256 and SHA-512 differ only in word size, round count and rotation amounts.
template <class Word, std::size_t kRounds>
void CompressSha2(std::array<Word, 8>& state, const std::uint8_t* block, const Word* roundConstants,
                  const unsigned (&rotations)[12]) {
  Word w[kRounds];
  for (std::size_t i = 0; i < 16; ++i) w[i] = LoadBig<Word>(block + i * sizeof(Word));
  for (std::size_t i = 16; i < kRounds; ++i) {
    const Word s0 = Rotr(w[i - 15], rotations[6]) ^ Rotr(w[i - 15], rotations[7]) ^ (w[i - 15] >> rotations[8]);
    const Word s1 = Rotr(w[i - 2], rotations[9]) ^ Rotr(w[i - 2], rotations[10]) ^ (w[i - 2] >> rotations[11]);
    w[i] = static_cast<Word>(w[i - 16] + s0 + w[i - 7] + s1);
  }
  std::array<Word, 8> v = state;
  for (std::size_t i = 0; i < kRounds; ++i) {
    const Word s1 = Rotr(v[4], rotations[3]) ^ Rotr(v[4], rotations[4]) ^ Rotr(v[4], rotations[5]);
    const Word choice = static_cast<Word>((v[4] & v[5]) ^ (~v[4] & v[6]));
    const Word t1 = static_cast<Word>(v[7] + s1 + choice + roundConstants[i] + w[i]);
    const Word s0 = Rotr(v[0], rotations[0]) ^ Rotr(v[0], rotations[1]) ^ Rotr(v[0], rotations[2]);
    const Word majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
    const Word t2 = static_cast<Word>(s0 + majority);
    for (std::size_t j = 7; j > 0; --j) v[j] = v[j - 1];
    v[4] = static_cast<Word>(v[4] + t1);
    v[0] = static_cast<Word>(t1 + t2);
  }
  for (std::size_t i = 0; i < 8; ++i) state[i] = static_cast<Word>(state[i] + v[i]);
}

constexpr unsigned kSha256Rotations[12] = {2, 13, 22, 6, 11, 25, 7, 18, 3, 17, 19, 10};
constexpr unsigned kSha512Rotations[12] = {28, 34, 39, 14, 18, 41, 1, 8, 7, 19, 61, 6};

}  // namespace

void CSha1Engine::Reset() { state = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0}; }

void CSha1Engine::Compress(const std::uint8_t* block) {
  std::uint32_t w[80];
  for (std::size_t i = 0; i < 16; ++i) w[i] = LoadBig<std::uint32_t>(block + 4 * i);
  for (std::size_t i = 16; i < 80; ++i) w[i] = Rotr<std::uint32_t>(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 31);
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (std::size_t i = 0; i < 80; ++i) {
    std::uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5a827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ed9eba1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8f1bbcdc;
    } else {
      f = b ^ c ^ d;
      k = 0xca62c1d6;
    }
    const std::uint32_t t = Rotr<std::uint32_t>(a, 27) + f + e + k + w[i];
    e = d;
    d = c;
    c = Rotr<std::uint32_t>(b, 2);
    b = a;
    a = t;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

void CSha256Engine::Reset() {
  state = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
}

void CSha256Engine::Compress(const std::uint8_t* block) {
  CompressSha2<std::uint32_t, 64>(state, block, kSha256Rounds, kSha256Rotations);
}

void CSha512Engine::Reset() {
  state = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
           0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};
}

void CSha512Engine::Compress(const std::uint8_t* block) {
  CompressSha2<std::uint64_t, 80>(state, block, kSha512Rounds, kSha512Rotations);
}

template <class Engine>
void CHash<Engine>::Update(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  m_length += size;
  while (size > 0) {
    if (m_used == 0 && size >= Engine::kBlockBytes) {
      m_engine.Compress(bytes);
      bytes += Engine::kBlockBytes;
      size -= Engine::kBlockBytes;
      continue;
    }
    const std::size_t take = std::min(size, Engine::kBlockBytes - m_used);
    std::memcpy(m_block.data() + m_used, bytes, take);
    m_used += take;
    bytes += take;
    size -= take;
    if (m_used == Engine::kBlockBytes) {
      m_engine.Compress(m_block.data());
      m_used = 0;
    }
  }
}

template <class Engine>
typename CHash<Engine>::Digest CHash<Engine>::Final() {
  // The length field is two words wide; messages here are far below 2^61 bytes, so its upper
  // half (SHA-512's) stays zero.
  constexpr std::size_t kLengthBytes = 2 * sizeof(typename Engine::Word);
  const std::uint64_t bits = m_length * 8;
  m_block[m_used++] = 0x80;
  if (m_used > Engine::kBlockBytes - kLengthBytes) {
    std::memset(m_block.data() + m_used, 0, Engine::kBlockBytes - m_used);
    m_engine.Compress(m_block.data());
    m_used = 0;
  }
  std::memset(m_block.data() + m_used, 0, Engine::kBlockBytes - m_used);
  StoreBig<std::uint64_t>(bits, m_block.data() + Engine::kBlockBytes - 8);
  m_engine.Compress(m_block.data());
  Digest digest{};
  for (std::size_t i = 0; i < m_engine.state.size() && i * sizeof(typename Engine::Word) < digest.size(); ++i) {
    StoreBig(m_engine.state[i], digest.data() + i * sizeof(typename Engine::Word));
  }
  m_engine.Reset();
  m_used = 0;
  m_length = 0;
  return digest;
}

template class CHash<CSha1Engine>;
template class CHash<CSha256Engine>;
template class CHash<CSha512Engine>;
