// Fuzz target (Linux): arbitrary raw responses served over loopback to the libcurl transport.
// The status reported must be the final response's (after interim responses and followed
// redirects), and a download that succeeds must hold exactly the declared length, every byte
// read and no more.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "download/downloader.h"
#include "download/http_transport.h"
#include "support/loopback_server.h"
#include "system/text.h"

namespace {

// A few header blocks and a short body; longer responses only repeat the same parsing.
constexpr std::size_t kMaxInputBytes = 4096;
// What every later request for the fuzzed path gets (a retry, or a redirect to the same path).
const std::string kFinalBody = "final body";
constexpr int kFinalStatus = 200;
// Requests for any other path get the loopback server's plain 404.
constexpr int kOtherPathStatus = 404;

CLoopbackServer* g_server = nullptr;
std::string g_destination;
int g_round = 0;

void Require(bool condition) {
  if (!condition) std::abort();
}

class CNoClock final : public IClock {
 public:
  // Every tick 5 s later, so a grace period ends after a few empty reads.
  std::uint32_t TickCount() override { return m_now += 5000; }
  void Sleep(std::uint32_t) override {}
  std::int64_t UtcSeconds() override { return 0; }

 private:
  std::uint32_t m_now = 1000;
};

// The transport as the worker sees it, keeping the last response's status, length and body.
struct CSeen {
  int status = 0;
  std::uint64_t declared = 0;
  std::string body;
};

class CSeenResponse final : public IHttpResponse {
 public:
  CSeenResponse(std::unique_ptr<IHttpResponse> inner, CSeen& seen) : m_inner(std::move(inner)), m_seen(seen) {
    m_seen = {m_inner->StatusCode(), m_inner->DeclaredLength(), {}};
  }
  int StatusCode() const override { return m_inner->StatusCode(); }
  std::uint64_t DeclaredLength() const override { return m_inner->DeclaredLength(); }
  std::int64_t Read(void* buffer, std::size_t size) override {
    const std::int64_t n = m_inner->Read(buffer, size);
    if (n > 0) m_seen.body.append(static_cast<const char*>(buffer), static_cast<std::size_t>(n));
    return n;
  }

 private:
  std::unique_ptr<IHttpResponse> m_inner;
  CSeen& m_seen;
};

class CSeenTransport final : public IHttpTransport {
 public:
  std::unique_ptr<IHttpResponse> Open(const std::wstring& url) override {
    auto inner = PlatformHttpTransport().Open(url);
    if (inner == nullptr) return nullptr;
    return std::make_unique<CSeenResponse>(std::move(inner), m_seen);
  }
  CSeen m_seen;
};

// The status of the first response in raw that is not an interim (1xx) one, for responses
// whose status lines read plainly "HTTP/1.x NNN"; 0 when raw is anything else.
int FinalStatusOf(const std::string& raw) {
  for (std::size_t block = 0; block < raw.size();) {
    if (raw.compare(block, 7, "HTTP/1.") != 0 || block + 13 > raw.size()) return 0;
    const std::string line = raw.substr(block, 13);
    if ((line[7] != '0' && line[7] != '1') || line[8] != ' ' || (line[12] != ' ' && line[12] != '\r')) return 0;
    for (int i = 9; i < 12; ++i) {
      if (line[i] < '0' || line[i] > '9') return 0;
    }
    const int status = std::stoi(line.substr(9, 3));
    if (status < 100 || status >= 200) return status;
    // The interim block ends at its first empty line (LF or CR LF line ends).
    for (auto lineEnd = raw.find('\n', block);; lineEnd = raw.find('\n', block)) {
      if (lineEnd == std::string::npos) return 0;
      const bool empty = lineEnd == block || (lineEnd == block + 1 && raw[block] == '\r');
      block = lineEnd + 1;
      if (empty) break;
    }
  }
  return 0;
}

// The path of a request line, also in the absolute form sent to a proxy.
std::string RequestPath(const std::string& head) {
  const auto first = head.find(' ');
  const auto second = head.find(' ', first + 1);
  if (first == std::string::npos || second == std::string::npos) return {};
  std::string target = head.substr(first + 1, second - first - 1);
  if (const auto scheme = target.find("://"); scheme != std::string::npos) {
    const auto slash = target.find('/', scheme + 3);
    target = slash == std::string::npos ? "/" : target.substr(slash);
  }
  return target;
}

// The status of the answer to the last request: the fuzzed response, the final body, or the
// 404 of any other path (0 when the fuzzed response is not plain enough to tell).
int ExpectedStatus(const std::string& raw, const std::string& path, std::size_t headsBefore) {
  const auto heads = g_server->RequestHeads();
  if (heads.size() == headsBefore + 1) return FinalStatusOf(raw);
  return RequestPath(heads.back()) == path ? kFinalStatus : kOtherPathStatus;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_server = new CLoopbackServer();
  if (!g_server->IsListening()) std::abort();
  std::atexit([] {
    delete g_server;
    std::remove(g_destination.c_str());
  });
  // Redirects may name any host: the proxy settings send every request to the loopback server.
  for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "HTTPS_PROXY", "ALL_PROXY"}) {
    setenv(name, g_server->Origin().c_str(), 1);
  }
  unsetenv("no_proxy");
  unsetenv("NO_PROXY");
  char name[] = "/tmp/websetup-curl-fuzz-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) std::abort();
  close(fd);
  g_destination = name;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > kMaxInputBytes) return 0;
  const std::string raw(reinterpret_cast<const char*>(data), size);
  // One path for the plain open, one for the download; both are forgotten afterwards, so a
  // redirect to an earlier round's path gets a 404.
  const std::string path = "/f" + std::to_string(++g_round);
  const std::string downloadPath = path + "d";
  CServedResponse fuzzed;
  fuzzed.raw = raw;
  g_server->Serve(path, {fuzzed, FileResponse(kFinalBody)});
  g_server->Serve(downloadPath, {fuzzed, FileResponse(kFinalBody)});

  CSeenTransport transport;
  const std::size_t headsBefore = g_server->RequestHeads().size();
  if (auto response = transport.Open(g_server->Url(path))) {
    const int expected = ExpectedStatus(raw, path, headsBefore);
    Require(expected == 0 || response->StatusCode() == expected);
  }

  CNoClock clock;
  CDownloader downloader(clock, transport);
  downloader.SetOnlineCheckForTesting([] { return true; });
  std::remove(g_destination.c_str());
  const bool succeeded = downloader.DownloadFile(g_server->Url(downloadPath), FromUtf8(g_destination), nullptr);
  g_server->Serve(path, std::vector<CServedResponse>{});
  g_server->Serve(downloadPath, std::vector<CServedResponse>{});
  if (succeeded) {
    std::ifstream in(g_destination, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const CSeen& seen = transport.m_seen;
    Require(seen.status < 400 && file.size() == seen.declared && file == seen.body);
  }
  return 0;
}
