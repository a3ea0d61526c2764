// SHA-256 from CNG (bcrypt.dll), which Windows keeps up to date and which uses the processor's
// SHA instructions where there are any. Loaded from System32 by name, never imported: Setup.exe
// imports only DLLs that Windows always takes from System32, so a bcrypt.dll planted beside it
// in a downloads folder is never loaded.
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>

#include "crypto/sha256_stream.h"
#include "system/system32_win.h"

namespace {

struct CCngApi {
  decltype(&::BCryptOpenAlgorithmProvider) openAlgorithm = nullptr;
  decltype(&::BCryptCreateHash) createHash = nullptr;
  decltype(&::BCryptHashData) hashData = nullptr;
  decltype(&::BCryptFinishHash) finishHash = nullptr;
  decltype(&::BCryptDestroyHash) destroyHash = nullptr;
  // Opened once and kept for the whole run, as CNG advises: opening a provider is slow.
  BCRYPT_ALG_HANDLE sha256 = nullptr;
};

CCngApi LoadCng() {
  CCngApi api;
  HMODULE module = LoadSystem32Library(L"bcrypt.dll");
  if (module == nullptr) return api;
  api.openAlgorithm = System32Entry<decltype(api.openAlgorithm)>(module, "BCryptOpenAlgorithmProvider");
  api.createHash = System32Entry<decltype(api.createHash)>(module, "BCryptCreateHash");
  api.hashData = System32Entry<decltype(api.hashData)>(module, "BCryptHashData");
  api.finishHash = System32Entry<decltype(api.finishHash)>(module, "BCryptFinishHash");
  api.destroyHash = System32Entry<decltype(api.destroyHash)>(module, "BCryptDestroyHash");
  const bool complete = api.openAlgorithm != nullptr && api.createHash != nullptr && api.hashData != nullptr &&
                        api.finishHash != nullptr && api.destroyHash != nullptr;
  if (!complete || !BCRYPT_SUCCESS(api.openAlgorithm(&api.sha256, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    api.sha256 = nullptr;
  }
  return api;
}

// The entry points and the provider, loaded once; null when any of them is missing.
const CCngApi* CngApi() {
  static const CCngApi api = LoadCng();
  return api.sha256 != nullptr ? &api : nullptr;
}

class CCngSha256 final : public ISha256Engine {
 public:
  explicit CCngSha256(const CCngApi& api) : m_api(api) {}
  ~CCngSha256() override { Close(); }
  CCngSha256(const CCngSha256&) = delete;
  CCngSha256& operator=(const CCngSha256&) = delete;

  // Windows 7 and later allocate the hash object themselves when given none.
  bool Start() { return BCRYPT_SUCCESS(m_api.createHash(m_api.sha256, &m_hash, nullptr, 0, nullptr, 0, 0)); }
  bool Update(const void* data, std::size_t size) override {
    // CNG takes a ULONG count: a larger piece goes in parts.
    constexpr std::size_t kMaxPiece = 0x40000000;
    auto* bytes = static_cast<UCHAR*>(const_cast<void*>(data));
    while (size > 0) {
      const std::size_t piece = std::min(size, kMaxPiece);
      if (m_hash == nullptr || !BCRYPT_SUCCESS(m_api.hashData(m_hash, bytes, static_cast<ULONG>(piece), 0))) {
        return false;
      }
      bytes += piece;
      size -= piece;
    }
    return true;
  }
  bool Final(CSha256Digest& digest) override {
    const bool finished =
        m_hash != nullptr && BCRYPT_SUCCESS(m_api.finishHash(m_hash, digest.data(), digest.size(), 0));
    // A finished CNG hash takes no more data (reusable hashes need Windows 8): a new one.
    Close();
    return Start() && finished;
  }
  const char* Name() const override { return "CNG"; }

 private:
  void Close() {
    if (m_hash != nullptr) m_api.destroyHash(m_hash);
    m_hash = nullptr;
  }

  const CCngApi& m_api;
  BCRYPT_HASH_HANDLE m_hash = nullptr;
};

}  // namespace

std::unique_ptr<ISha256Engine> PlatformSha256Engine() {
  const CCngApi* api = CngApi();
  if (api == nullptr) return nullptr;
  auto engine = std::make_unique<CCngSha256>(*api);
  if (!engine->Start()) return nullptr;
  return engine;
}
