// The stream over whichever SHA-256 engine is at hand, and the portable engine.
#include "crypto/sha256_stream.h"

#include "crypto/sha.h"

namespace {

class CPortableSha256 final : public ISha256Engine {
 public:
  bool Update(const void* data, std::size_t size) override {
    m_hash.Update(data, size);
    return true;
  }
  bool Final(CSha256Digest& digest) override {
    digest = m_hash.Final();
    return true;
  }
  const char* Name() const override { return "portable"; }

 private:
  CSha256Hash m_hash;
};

}  // namespace

std::unique_ptr<ISha256Engine> PortableSha256Engine() { return std::make_unique<CPortableSha256>(); }

CSha256Stream::CSha256Stream() : CSha256Stream(PlatformSha256Engine()) {}

CSha256Stream::CSha256Stream(std::unique_ptr<ISha256Engine> engine)
    : m_engine(engine != nullptr ? std::move(engine) : PortableSha256Engine()) {}

CSha256Stream::~CSha256Stream() = default;

void CSha256Stream::Update(const void* data, std::size_t size) {
  if (!m_failed && size > 0) m_failed = !m_engine->Update(data, size);
}

std::optional<CSha256Digest> CSha256Stream::Final() {
  CSha256Digest digest{};
  // Final is called even after a failure, so that the engine starts afresh either way.
  const bool finished = m_engine->Final(digest);
  const bool failed = m_failed || !finished;
  m_failed = false;
  if (failed) return std::nullopt;
  return digest;
}
