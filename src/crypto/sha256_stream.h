// SHA-256 over a stream of bytes (the payload a download writes), from the platform's own
// library where it has one (libcrypto on Linux, CNG on Windows, both using the processor's SHA
// instructions), else from our portable code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

using CSha256Digest = std::array<std::uint8_t, 32>;

// One implementation of SHA-256 behind the stream.
class ISha256Engine {
 public:
  virtual ~ISha256Engine() = default;
  // False when the implementation failed; the state is then lost.
  virtual bool Update(const void* data, std::size_t size) = 0;
  // The digest of everything given since the start; the engine then starts afresh. False when
  // the implementation failed.
  virtual bool Final(CSha256Digest& digest) = 0;
  // For the benchmark and the tests: which implementation this is.
  virtual const char* Name() const = 0;
};

// The platform's implementation, ready for the first byte; null when the platform library
// cannot be loaded or refuses to start a hash.
std::unique_ptr<ISha256Engine> PlatformSha256Engine();
// Our own code (crypto/sha.h): slower, but always there.
std::unique_ptr<ISha256Engine> PortableSha256Engine();

class CSha256Stream {
 public:
  // The platform's engine when it can be had, else the portable one.
  CSha256Stream();
  // The given engine; the portable one when engine is null. For tests and the benchmark.
  explicit CSha256Stream(std::unique_ptr<ISha256Engine> engine);
  ~CSha256Stream();
  CSha256Stream(const CSha256Stream&) = delete;
  CSha256Stream& operator=(const CSha256Stream&) = delete;

  void Update(const void* data, std::size_t size);
  // The digest of everything given so far, and the stream starts afresh. None when the engine
  // failed on the way: bytes of unknown hash never pass for the right ones.
  std::optional<CSha256Digest> Final();
  const char* EngineName() const { return m_engine->Name(); }

 private:
  std::unique_ptr<ISha256Engine> m_engine;
  bool m_failed = false;
};
