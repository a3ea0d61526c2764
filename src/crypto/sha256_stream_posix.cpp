// SHA-256 from libcrypto (OpenSSL), which libcurl loads anyway and the distribution keeps up
// to date; it uses the processor's SHA instructions where there are any.
#include <openssl/evp.h>

#include "crypto/sha256_stream.h"

namespace {

class CLibcryptoSha256 final : public ISha256Engine {
 public:
  CLibcryptoSha256() : m_context(EVP_MD_CTX_new()) {}
  ~CLibcryptoSha256() override { EVP_MD_CTX_free(m_context); }
  CLibcryptoSha256(const CLibcryptoSha256&) = delete;
  CLibcryptoSha256& operator=(const CLibcryptoSha256&) = delete;

  bool Start() { return m_context != nullptr && EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) == 1; }
  bool Update(const void* data, std::size_t size) override { return EVP_DigestUpdate(m_context, data, size) == 1; }
  bool Final(CSha256Digest& digest) override {
    unsigned int size = 0;
    const bool finished = EVP_DigestFinal_ex(m_context, digest.data(), &size) == 1 && size == digest.size();
    return Start() && finished;
  }
  const char* Name() const override { return "libcrypto"; }

 private:
  EVP_MD_CTX* m_context;
};

}  // namespace

std::unique_ptr<ISha256Engine> PlatformSha256Engine() {
  auto engine = std::make_unique<CLibcryptoSha256>();
  if (!engine->Start()) return nullptr;
  return engine;
}
