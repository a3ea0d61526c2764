// EIF decryption and the plain reading of ".ini" descriptions.
#include "description/eif_decrypt.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "crypto/rsa_oaep.h"
#include "system/file.h"
#include "system/text.h"
#include "system/worker_thread.h"

namespace {

bool SignatureMatches(const ByteBuffer& file, std::wstring_view signature) {
  const auto zero = std::find(file.begin(), file.end(), std::uint8_t{0});
  if (zero == file.end()) return false;
  const std::string start(file.begin(), zero);
  return DecodeNarrowText(start) == signature;
}

// The key from its hex text (either case, an even number of digits and nothing else).
std::optional<CRsaOaepDecryptor> KeyFromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  ByteBuffer der(hex.size() / 2);
  if (!DecodeHexDigits(std::wstring(hex.begin(), hex.end()), der.data(), der.size())) return std::nullopt;
  return CRsaOaepDecryptor::FromPkcs8(der.data(), der.size());
}

// Below this many blocks a second thread would cost about as much as it saves.
constexpr std::size_t kMinBlocksForWorker = 4;

// Blocks [first, end) of a cipher part, each decrypted into its own slot of the output.
struct CBlockRange {
  const CRsaOaepDecryptor* decryptor;
  const std::uint8_t* cipher;
  std::uint8_t* out;
  std::size_t* lengths;  // the message length of each block
  std::size_t first;
  std::size_t end;
  bool valid = false;
};

void DecryptRange(void* argument) {
  auto& range = *static_cast<CBlockRange*>(argument);
  const std::size_t k = range.decryptor->CipherBlockBytes();
  const std::size_t m = range.decryptor->MaxPlainBytes();
  try {
    for (std::size_t i = range.first; i < range.end; ++i) {
      const std::optional<std::size_t> length = range.decryptor->Decrypt(range.cipher + i * k, range.out + i * m);
      if (!length) return;
      range.lengths[i] = *length;
    }
    range.valid = true;
  } catch (const std::bad_alloc&) {
    // Out of memory in a block: the description is as unusable as a damaged one.
  }
}

// Decrypts the cipher part block by block; nothing unless every block is a whole, valid one.
// The blocks are independent, so a second thread takes the later half of a long cipher part.
std::optional<ByteBuffer> DecryptBlocks(const std::uint8_t* cipher, std::size_t cipherLength, std::string_view key,
                                        std::size_t& size) {
  const std::optional<CRsaOaepDecryptor> decryptor = KeyFromHex(key);
  if (!decryptor) return std::nullopt;
  const std::size_t k = decryptor->CipherBlockBytes();
  const std::size_t m = decryptor->MaxPlainBytes();
  // Only whole blocks can be valid, so a ragged cipher part is refused before any output is
  // allocated, and the output never exceeds the cipher part it comes from.
  if (k == 0 || cipherLength % k != 0) return std::nullopt;
  const std::size_t n = cipherLength / k;
  ByteBuffer out(n * m + 1, 0);
  std::vector<std::size_t> lengths(n, 0);
  CBlockRange front{&*decryptor, cipher, out.data(), lengths.data(), 0, n / 2};
  CBlockRange back{&*decryptor, cipher, out.data(), lengths.data(), n / 2, n};
  CWorkerThread worker;
  const bool parallel = n >= kMinBlocksForWorker && worker.Start(&DecryptRange, &back, false);
  DecryptRange(&front);
  if (parallel) {
    worker.Join();
  } else {
    DecryptRange(&back);
  }
  if (!front.valid || !back.valid) return std::nullopt;
  // Each block's message moves down to follow the one before it; zeros stay behind the last.
  for (std::size_t i = 0; i < n; ++i) {
    std::memmove(out.data() + size, out.data() + i * m, lengths[i]);
    size += lengths[i];
  }
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(size), out.end(), std::uint8_t{0});
  return out;
}

}  // namespace

void DecryptEifFile(const std::wstring& path, std::optional<ByteBuffer>& buffer, std::size_t& size,
                    std::string_view key, std::wstring_view signature) {
  buffer.reset();
  size = 0;
  std::optional<ByteBuffer> file;
  try {
    file = ReadWholeFile(path, kMaxEifFileBytes, 0);
  } catch (const std::bad_alloc&) {
    return;
  }
  if (file) DecryptEifBytes(*file, buffer, size, key, signature);
}

void DecryptEifBytes(const ByteBuffer& file, std::optional<ByteBuffer>& buffer, std::size_t& size, std::string_view key,
                     std::wstring_view signature) {
  buffer.reset();
  size = 0;
  try {
    const std::size_t header = signature.size() + 1;
    if (file.size() < header || !SignatureMatches(file, signature)) return;
    buffer = DecryptBlocks(file.data() + header, file.size() - header, key, size);
  } catch (const std::bad_alloc&) {
    buffer.reset();
  }
  if (!buffer) size = 0;
}

void ReadPlainFile(const std::wstring& path, std::optional<ByteBuffer>& buffer, std::size_t& size) {
  buffer.reset();
  size = 0;
  try {
    // Plain descriptions share the encrypted files' bound: both are read whole into memory.
    buffer = ReadWholeFile(path, kMaxEifFileBytes, 1);
  } catch (const std::bad_alloc&) {
    buffer.reset();
  }
  if (buffer) size = buffer->size();
}
