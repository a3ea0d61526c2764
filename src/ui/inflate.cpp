// Inflating zlib streams (see inflate.h). Written for size, not speed: bits are taken one at a
// time and Huffman codes are decoded canonically, one bit per step, instead of through lookup
// tables. Every byte counts in Setup.exe, and the splash picture is decoded once per start.
#include "ui/inflate.h"

#include <algorithm>

namespace {

constexpr int kMaxCodeBits = 15;
constexpr int kLiteralLengthCodes = 286;  // 0-255 literals, 256 end of block, 257-285 lengths
constexpr int kDistanceCodes = 30;
constexpr int kFixedLiteralLengthCodes = 288;  // the fixed code also assigns 286 and 287, never valid
constexpr int kCodeLengthCodes = 19;
constexpr int kEndOfBlock = 256;

// Lengths 3-258 and distances 1-32768: a base for each code and the extra bits added to it.
constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[kDistanceCodes] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                                         33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                                         1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[kDistanceCodes] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block lists the lengths of the code-length code.
constexpr std::uint8_t kCodeLengthOrder[kCodeLengthCodes] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                             11, 4,  12, 3, 13, 2, 14, 1, 15};

// Bits of the stream, lowest first within each byte. Past the end it yields zeros: every loop
// fed by it still ends (each writes output, counts up to a limit or needs whole bytes), and a
// stream that ran out is refused at the latest when its checksum cannot be read.
class CBitReader {
 public:
  CBitReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

  unsigned Bits(int count) {
    unsigned value = 0;
    for (int i = 0; i < count; ++i) {
      if (m_byte == m_size) return 0;
      value |= ((m_data[m_byte] >> m_bit) & 1u) << i;
      if (++m_bit == 8) {
        m_bit = 0;
        ++m_byte;
      }
    }
    return value;
  }

  // The next count whole bytes, after the rest of a partly read byte is dropped; nullptr when
  // the stream has fewer.
  const std::uint8_t* Bytes(std::size_t count) {
    if (m_bit != 0) {
      m_bit = 0;
      ++m_byte;
    }
    if (m_size - m_byte < count) return nullptr;
    m_byte += count;
    return m_data + m_byte - count;
  }

  bool AtEnd() const { return m_byte == m_size; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_byte = 0;
  int m_bit = 0;
};

// A canonical Huffman code as its lengths define it: how many codes each length has, and the
// symbols in the order of their codes (by length, then by symbol).
struct CHuffman {
  std::uint16_t count[kMaxCodeBits + 1];
  std::uint16_t symbol[kFixedLiteralLengthCodes];

  // False when the lengths ask for more codes than there are (over-subscribed). A code with
  // room to spare is taken: a stream that uses one of its unassigned codes is refused there.
  bool Build(const std::uint8_t* lengths, int symbols) {
    std::fill(count, count + kMaxCodeBits + 1, 0);
    for (int s = 0; s < symbols; ++s) ++count[lengths[s]];
    std::uint16_t next[kMaxCodeBits + 1];
    int left = 1;  // codes still free at the current length
    next[0] = 0;
    count[0] = 0;
    for (int length = 1; length <= kMaxCodeBits; ++length) {
      left = 2 * left - count[length];
      if (left < 0) return false;
      next[length] = static_cast<std::uint16_t>(next[length - 1] + count[length - 1]);
    }
    for (int s = 0; s < symbols; ++s) {
      if (lengths[s] != 0) symbol[next[lengths[s]]++] = static_cast<std::uint16_t>(s);
    }
    return true;
  }

  // The next symbol from bits, or -1 for a code no symbol has. The codes of one length are
  // consecutive numbers starting at "first", read with their first bit highest.
  int Decode(CBitReader& bits) const {
    int code = 0, first = 0, index = 0;
    for (int length = 1; length <= kMaxCodeBits; ++length) {
      code |= static_cast<int>(bits.Bits(1));
      if (code - first < count[length]) return symbol[index + code - first];
      index += count[length];
      first = (first + count[length]) << 1;
      code <<= 1;
    }
    return -1;
  }
};

class CInflater {
 public:
  CInflater(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize)
      : m_bits(in, inSize), m_out(out), m_size(outSize) {}

  bool Run() {
    for (bool last = false; !last;) {
      last = m_bits.Bits(1) != 0;
      const unsigned type = m_bits.Bits(2);
      const bool ok = type == 0 ? Stored() : type == 1 ? Fixed() : type == 2 ? Dynamic() : false;
      if (!ok) return false;
    }
    return m_pos == m_size;
  }

  // The checksum after the last block, big-endian; true when nothing follows it.
  bool ReadChecksum(std::uint32_t& checksum) {
    const std::uint8_t* p = m_bits.Bytes(4);
    if (p == nullptr) return false;
    checksum = static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
               static_cast<std::uint32_t>(p[2]) << 8 | p[3];
    return m_bits.AtEnd();
  }

 private:
  // Length, its ones' complement, then as many bytes as they are.
  bool Stored() {
    const std::uint8_t* header = m_bits.Bytes(4);
    if (header == nullptr) return false;
    const unsigned length = header[0] | header[1] << 8;
    if (length != (~(header[2] | header[3] << 8) & 0xFFFFu) || length > m_size - m_pos) return false;
    const std::uint8_t* data = m_bits.Bytes(length);
    if (data == nullptr) return false;
    m_pos = std::copy(data, data + length, m_out + m_pos) - m_out;
    return true;
  }

  bool Fixed() {
    std::uint8_t lengths[kFixedLiteralLengthCodes + kDistanceCodes];
    std::fill(lengths, lengths + 144, 8);
    std::fill(lengths + 144, lengths + 256, 9);
    std::fill(lengths + 256, lengths + 280, 7);
    std::fill(lengths + 280, lengths + kFixedLiteralLengthCodes, 8);
    std::fill(lengths + kFixedLiteralLengthCodes, lengths + kFixedLiteralLengthCodes + kDistanceCodes, 5);
    m_literals.Build(lengths, kFixedLiteralLengthCodes);
    m_distances.Build(lengths + kFixedLiteralLengthCodes, kDistanceCodes);
    return Codes();
  }

  // The lengths of both codes, themselves Huffman-coded with runs of repeats and zeros.
  bool Dynamic() {
    const int literals = static_cast<int>(m_bits.Bits(5)) + 257;
    const int distances = static_cast<int>(m_bits.Bits(5)) + 1;
    const int listed = static_cast<int>(m_bits.Bits(4)) + 4;
    if (literals > kLiteralLengthCodes || distances > kDistanceCodes) return false;
    std::uint8_t lengths[kLiteralLengthCodes + kDistanceCodes];
    std::uint8_t codeLengths[kCodeLengthCodes] = {};
    for (int i = 0; i < listed; ++i) codeLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(m_bits.Bits(3));
    // The literal code's table holds the code-length code until the lengths are read.
    CHuffman& lengthCode = m_literals;
    if (!lengthCode.Build(codeLengths, kCodeLengthCodes)) return false;
    const int total = literals + distances;
    for (int i = 0; i < total;) {
      const int symbol = lengthCode.Decode(m_bits);
      if (symbol < 0) return false;
      if (symbol < 16) {
        lengths[i++] = static_cast<std::uint8_t>(symbol);
        continue;
      }
      // 16 repeats the previous length 3-6 times, 17 and 18 write 3-10 and 11-138 zeros.
      if (symbol == 16 && i == 0) return false;
      const std::uint8_t value = symbol == 16 ? lengths[i - 1] : 0;
      const int repeat = symbol == 16   ? 3 + static_cast<int>(m_bits.Bits(2))
                         : symbol == 17 ? 3 + static_cast<int>(m_bits.Bits(3))
                                        : 11 + static_cast<int>(m_bits.Bits(7));
      if (repeat > total - i) return false;
      std::fill(lengths + i, lengths + i + repeat, value);
      i += repeat;
    }
    return m_literals.Build(lengths, literals) && m_distances.Build(lengths + literals, distances) && Codes();
  }

  // Literals and back references up to the end of the block.
  bool Codes() {
    for (;;) {
      int symbol = m_literals.Decode(m_bits);
      if (symbol < 0) return false;
      if (symbol < kEndOfBlock) {
        if (m_pos == m_size) return false;
        m_out[m_pos++] = static_cast<std::uint8_t>(symbol);
        continue;
      }
      if (symbol == kEndOfBlock) return true;
      symbol -= kEndOfBlock + 1;
      if (symbol >= 29) return false;
      const std::size_t length = kLengthBase[symbol] + m_bits.Bits(kLengthExtra[symbol]);
      // Below kDistanceCodes: no code has more symbols.
      const int code = m_distances.Decode(m_bits);
      if (code < 0) return false;
      const std::size_t distance = kDistanceBase[code] + m_bits.Bits(kDistanceExtra[code]);
      if (distance > m_pos || length > m_size - m_pos) return false;
      // Byte by byte: a reference may overlap the bytes it is producing (distance < length).
      for (const std::size_t end = m_pos + length; m_pos < end; ++m_pos) m_out[m_pos] = m_out[m_pos - distance];
    }
  }

  CBitReader m_bits;
  std::uint8_t* m_out;
  std::size_t m_size;
  std::size_t m_pos = 0;
  CHuffman m_literals;
  CHuffman m_distances;
};

std::uint32_t Adler32(const std::uint8_t* data, std::size_t size) {
  constexpr std::uint32_t kModulus = 65521;  // the largest prime below 2^16
  std::uint32_t a = 1, b = 0;
  for (std::size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % kModulus;
    b = (b + a) % kModulus;
  }
  return b << 16 | a;
}

}  // namespace

bool InflateZlib(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize) {
  if (inSize < 2) return false;
  // Deflate (method 8) with a window of at most 32 KB, the header a multiple of 31 as its check
  // asks, and no preset dictionary (the stream could not be decoded without it).
  const unsigned method = in[0], flags = in[1];
  if ((method & 0x0F) != 8 || (method >> 4) > 7 || (method << 8 | flags) % 31 != 0 || (flags & 0x20) != 0) return false;
  CInflater inflater(in + 2, inSize - 2, out, outSize);
  std::uint32_t checksum = 0;
  return inflater.Run() && inflater.ReadChecksum(checksum) && checksum == Adler32(out, outSize);
}
