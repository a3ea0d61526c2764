// SHA-1, SHA-256 and SHA-512 over bytes given piece by piece: SHA-1 for the description's
// RSAES-OAEP blocks, SHA-256 for the payload hashes, SHA-512 inside Ed25519.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The compression functions; a CHash around one keeps the partial block and the length.
template <class WordType, std::size_t kStateWords, std::size_t kBlock, std::size_t kDigest>
struct CShaState {
  using Word = WordType;
  static constexpr std::size_t kBlockBytes = kBlock;
  static constexpr std::size_t kDigestBytes = kDigest;
  std::array<Word, kStateWords> state;
};

struct CSha1Engine : CShaState<std::uint32_t, 5, 64, 20> {
  void Reset();
  void Compress(const std::uint8_t* block);
};

struct CSha256Engine : CShaState<std::uint32_t, 8, 64, 32> {
  void Reset();
  void Compress(const std::uint8_t* block);
};

struct CSha512Engine : CShaState<std::uint64_t, 8, 128, 64> {
  void Reset();
  void Compress(const std::uint8_t* block);
};

template <class Engine>
class CHash {
 public:
  using Digest = std::array<std::uint8_t, Engine::kDigestBytes>;
  CHash() { m_engine.Reset(); }
  void Update(const void* data, std::size_t size);
  // The digest of everything given so far; the hash then starts afresh.
  Digest Final();
  static Digest Of(const void* data, std::size_t size) {
    CHash hash;
    hash.Update(data, size);
    return hash.Final();
  }

 private:
  Engine m_engine;
  std::array<std::uint8_t, Engine::kBlockBytes> m_block{};
  std::size_t m_used = 0;
  std::uint64_t m_length = 0;
};

using CSha1Hash = CHash<CSha1Engine>;
using CSha256Hash = CHash<CSha256Engine>;
using CSha512Hash = CHash<CSha512Engine>;

extern template class CHash<CSha1Engine>;
extern template class CHash<CSha256Engine>;
extern template class CHash<CSha512Engine>;
