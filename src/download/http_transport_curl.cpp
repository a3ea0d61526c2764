// The HTTP transport on libcurl: a pull-style reader over the multi interface whose receive
// buffer stays small (the transfer is paused while it is full), so no body is held whole.
// Connections are kept between requests, as WinINet keeps them for the whole process.
#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "download/http_transport.h"
#include "download/request_url.h"
#include "system/support_log.h"
#include "system/text.h"

namespace {

// Redirects followed before the request fails: enough for any mirror chain, and a redirect
// loop ends instead of running forever.
constexpr long kMaxRedirects = 20;
// A server that accepts no connection for this long fails the request, as the Windows
// client's own connect timeout ends it.
constexpr long kConnectTimeoutSeconds = 60;
// A proxy that asks for credentials gets those of http_proxy (user:password@host) in either
// scheme it offers; libcurl asks first and picks Digest over Basic when both are offered.
constexpr unsigned long kProxyAuth = CURLAUTH_BASIC | CURLAUTH_DIGEST;
// libcurl's own receive block: large enough that a fast transfer needs few system calls.
constexpr long kCurlBufferBytes = 64 * 1024;
// Bytes held between libcurl and the reader. libcurl hands over at most one receive block at
// a time, so the buffer takes at least that much when it is empty.
constexpr std::size_t kReceiveBufferBytes = 2 * kCurlBufferBytes;
// Longest wait for socket activity before the transfer is driven again.
constexpr int kPollMilliseconds = 1000;

bool StartsWithNoCase(const char* text, std::size_t size, const char* prefix) {
  const std::size_t n = std::strlen(prefix);
  if (size < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// What every request of the process shares: open connections (so a probe and the transfer
// after it, and one listed file after another, go over one connection to the same server), host
// names looked up and TLS sessions. Requests come from one thread, one at a time: libcurl does not
// share connections between concurrent threads, so the share takes no locks.
class CCurlShare {
 public:
  CCurlShare() : m_share(curl_share_init()) {
    if (m_share == nullptr) return;
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  }
  ~CCurlShare() { curl_share_cleanup(m_share); }
  CCurlShare(const CCurlShare&) = delete;
  CCurlShare& operator=(const CCurlShare&) = delete;
  CURLSH* Handle() const { return m_share; }

 private:
  CURLSH* m_share;
};

// The multi handle a response drives its transfer with. Making one opens a socket pair and
// closing it closes them again, twice per listed file; so the one a finished response leaves
// behind, empty, serves the next request. A request made while another response is open gets
// a multi handle of its own, so no transfer is ever driven, or ended, by another's.
class CMultiPool {
 public:
  CMultiPool() = default;
  ~CMultiPool() {
    if (m_idle != nullptr) curl_multi_cleanup(m_idle);
  }
  CMultiPool(const CMultiPool&) = delete;
  CMultiPool& operator=(const CMultiPool&) = delete;

  CURLM* Take() { return m_idle != nullptr ? std::exchange(m_idle, nullptr) : curl_multi_init(); }
  // multi holds no transfer any more.
  void Give(CURLM* multi) {
    if (m_idle == nullptr) {
      m_idle = multi;
    } else {
      curl_multi_cleanup(multi);
    }
  }

 private:
  CURLM* m_idle = nullptr;
};

class CCurlResponse final : public IHttpResponse {
 public:
  CCurlResponse(CURLSH* share, CMultiPool& multis, std::uint32_t stallLimitMs)
      : m_share(share), m_multis(multis), m_stallLimit(stallLimitMs) {}
  ~CCurlResponse() override;
  CCurlResponse(const CCurlResponse&) = delete;
  CCurlResponse& operator=(const CCurlResponse&) = delete;

  bool Start(const std::string& url, const std::string& caFile, const CRangeRequest& range);
  int StatusCode() const override {
    long status = 0;
    curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
    return static_cast<int>(status);
  }
  std::uint64_t DeclaredLength() const override {
    curl_off_t length = -1;  // none declared
    curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return length > 0 ? static_cast<std::uint64_t>(length) : 0;
  }
  std::int64_t Read(void* buffer, std::size_t size) override;
  std::wstring FinalUrl() const override;
  std::string HeaderValue(const char* name) const override {
    curl_header* header = nullptr;
    // Request -1: the final response's, after redirects and challenges.
    if (curl_easy_header(m_easy, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK) return {};
    return header->value;
  }
  bool ReusedConnection() const override {
    long opened = 0;
    return curl_easy_getinfo(m_easy, CURLINFO_NUM_CONNECTS, &opened) == CURLE_OK && opened == 0;
  }

 private:
  static std::size_t OnHeader(char* data, std::size_t, std::size_t size, void* self);
  static std::size_t OnBody(char* data, std::size_t, std::size_t size, void* self);
  void Configure(const std::string& url, const CRangeRequest& range);
  void ConfigureTls(const std::string& url, const std::string& caFile);
  void HeaderLine(const char* line, std::size_t size);
  std::size_t Body(const char* data, std::size_t size);
  // Lets libcurl work once, waiting up to kPollMilliseconds for the socket first; ends the
  // transfer when the server has sent nothing for kStallLimitMs.
  void Drive();
  bool Stalled();
  std::size_t Buffered() const { return m_end - m_begin; }

  CURLSH* m_share;
  CMultiPool& m_multis;
  const std::chrono::milliseconds m_stallLimit;
  CURLM* m_multi = nullptr;
  CURL* m_easy = nullptr;
  curl_slist* m_headers = nullptr;
  // Left uninitialised: only bytes libcurl has written are ever read, and clearing 128 KB for
  // each of the two requests per listed file took about 2 % of a run of many small files.
  std::unique_ptr<char[]> m_buffer = std::make_unique_for_overwrite<char[]>(kReceiveBufferBytes);
  std::size_t m_begin = 0;
  std::size_t m_end = 0;
  bool m_paused = false;
  // How the transfer ended; none while it runs.
  std::optional<CURLcode> m_result;
  bool m_headersDone = false;  // the final response's headers have all arrived
  // When the server last sent something; none until the request has gone out, on a new
  // connection or a kept one (the wait for a connection has its own limit). libcurl's own speed
  // check averages over seconds and would let a stall run several seconds past the limit.
  std::optional<std::chrono::steady_clock::time_point> m_lastArrival;
  // A 401 or 407 has ended its headers: it is the final response unless libcurl answers it
  // with credentials, which the next header line (a new response) tells.
  bool m_challenge = false;
  bool m_hasLocation = false;
};

CCurlResponse::~CCurlResponse() {
  if (m_multi != nullptr && m_easy != nullptr) {
    // Closed before its end (a probe): what is left of a small body has often arrived already.
    // Taken in without waiting, it ends the transfer, and the connection serves the next
    // request instead of being dropped; WinINet does the same when a request is closed.
    int running = 0;
    if (!m_result && !m_paused) curl_multi_perform(m_multi, &running);
    curl_multi_remove_handle(m_multi, m_easy);
  }
  if (m_easy != nullptr) curl_easy_cleanup(m_easy);
  if (m_multi != nullptr) m_multis.Give(m_multi);
  curl_slist_free_all(m_headers);
}

// Certificates are always checked, peer and host name alike, against the system's store
// (libcurl's default bundle); nothing in a shipped Setup can turn that off. An https request
// stays on https: a redirect down to plain http (from a compromised mirror, say) fails the
// request, so no byte of it travels unprotected. A plain http request may still be sent on to
// https, as always.
void CCurlResponse::ConfigureTls(const std::string& url, const std::string& caFile) {
  const bool https = StartsWithNoCase(url.c_str(), url.size(), "https://");
  curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, https ? "https" : "http,https");
  curl_easy_setopt(m_easy, CURLOPT_REDIR_PROTOCOLS_STR, https ? "https" : "http,https");
  curl_easy_setopt(m_easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(m_easy, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!caFile.empty()) curl_easy_setopt(m_easy, CURLOPT_CAINFO, caFile.c_str());
}

void CCurlResponse::Configure(const std::string& url, const CRangeRequest& range) {
  curl_easy_setopt(m_easy, CURLOPT_URL, url.c_str());
  if (m_share != nullptr) curl_easy_setopt(m_easy, CURLOPT_SHARE, m_share);
  curl_easy_setopt(m_easy, CURLOPT_USERAGENT, ToUtf8(kUserAgent).c_str());
  // Every attempt must reach the server, never a cache on the way.
  m_headers = curl_slist_append(m_headers, "Pragma: no-cache");
  m_headers = curl_slist_append(m_headers, "Cache-Control: no-cache");
  // As headers of our own, not libcurl's resume option: libcurl would judge the answer itself
  // and fail a server that sends the whole file, which the download worker takes instead.
  if (range.from > 0) {
    m_headers = curl_slist_append(m_headers, ("Range: bytes=" + std::to_string(range.from) + "-").c_str());
    m_headers = curl_slist_append(m_headers, ("If-Range: " + range.validator).c_str());
  }
  curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headers);
  curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(m_easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  // The declared length must be the file's length: bodies are taken as sent.
  curl_easy_setopt(m_easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(m_easy, CURLOPT_BUFFERSIZE, kCurlBufferBytes);
  curl_easy_setopt(m_easy, CURLOPT_PROXYAUTH, kProxyAuth);
  // A proxy tunnel's own "200 Connection established" must not pass for the final response.
  curl_easy_setopt(m_easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &CCurlResponse::OnHeader);
  curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CCurlResponse::OnBody);
  curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
}

bool CCurlResponse::Start(const std::string& url, const std::string& caFile, const CRangeRequest& range) {
  m_multi = m_multis.Take();
  m_easy = curl_easy_init();
  if (m_multi == nullptr || m_easy == nullptr) return false;
  Configure(url, range);
  ConfigureTls(url, caFile);
  if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK) {
    // Never added, so the destructor must not take it out of the multi handle.
    curl_easy_cleanup(std::exchange(m_easy, nullptr));
    return false;
  }
  while (!m_headersDone && !m_result) Drive();
  // A challenge still open when the transfer ends was not answered: it is the final response.
  if (m_challenge) m_headersDone = true;
  m_challenge = false;
  // A transfer that ended before any final response (refused, unknown host, redirect loop,
  // failed handshake or certificate, redirect to a scheme not allowed) opened nothing; one that
  // ended after it (an empty body, or a cut) is read as usual.
  return m_headersDone;
}

void CCurlResponse::Drive() {
  int running = 0;
  if (curl_multi_perform(m_multi, &running) == CURLM_OK && running > 0 && Buffered() == 0 && !m_paused) {
    curl_multi_poll(m_multi, nullptr, 0, kPollMilliseconds, nullptr);
    curl_multi_perform(m_multi, &running);
  }
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
    if (msg->msg == CURLMSG_DONE) m_result = msg->data.result;
  }
  if (!m_result && Stalled()) m_result = CURLE_OPERATION_TIMEDOUT;
}

bool CCurlResponse::Stalled() {
  // While paused, the reader is the one who is not taking data.
  if (m_paused) return false;
  const auto now = std::chrono::steady_clock::now();
  if (!m_lastArrival) {
    // Not 0 once the request has been sent, on a kept connection too (which has no connect
    // time: a clock started by that never ran there, and a silent server held the run).
    curl_off_t sentMicroseconds = 0;
    curl_easy_getinfo(m_easy, CURLINFO_PRETRANSFER_TIME_T, &sentMicroseconds);
    if (sentMicroseconds == 0) return false;
    m_lastArrival = now;
  }
  return now - *m_lastArrival > m_stallLimit;
}

// Only after a redirect: the effective URL of a direct request is the escaped form of the one
// asked for, which would read as a redirect in the support log.
std::wstring CCurlResponse::FinalUrl() const {
  long redirects = 0;
  curl_easy_getinfo(m_easy, CURLINFO_REDIRECT_COUNT, &redirects);
  if (redirects == 0) return {};
  const char* url = nullptr;
  curl_easy_getinfo(m_easy, CURLINFO_EFFECTIVE_URL, &url);
  return url != nullptr ? FromUtf8(url) : std::wstring();
}

std::size_t CCurlResponse::OnHeader(char* data, std::size_t, std::size_t size, void* self) {
  static_cast<CCurlResponse*>(self)->m_lastArrival = std::chrono::steady_clock::now();
  static_cast<CCurlResponse*>(self)->HeaderLine(data, size);
  return size;
}

// Only libcurl parses status lines: a header line that merely looks like one ("http/1.1: 200")
// must not pass for a new response.
void CCurlResponse::HeaderLine(const char* line, std::size_t size) {
  m_challenge = false;
  if (StartsWithNoCase(line, size, "location:")) {
    m_hasLocation = true;
  } else if (size >= 1 && size <= 2 && (line[0] == '\r' || line[0] == '\n')) {
    // The blank line ends a header block; it is the final response unless libcurl goes on
    // to another one (an interim response, or a redirect it follows).
    const int status = StatusCode();
    const bool interim = status >= 100 && status < 200;
    const bool followed = status >= 300 && status < 400 && m_hasLocation;
    if (status == 401 || status == 407) {
      m_challenge = true;
      m_hasLocation = false;
      return;
    }
    if (!interim && !followed) {
      m_headersDone = true;
      return;
    }
    m_hasLocation = false;
  }
}

std::size_t CCurlResponse::OnBody(char* data, std::size_t, std::size_t size, void* self) {
  static_cast<CCurlResponse*>(self)->m_lastArrival = std::chrono::steady_clock::now();
  return static_cast<CCurlResponse*>(self)->Body(data, size);
}

std::size_t CCurlResponse::Body(const char* data, std::size_t size) {
  // libcurl skips the body of a challenge it answers: this one's is the final response's.
  if (m_challenge) {
    m_challenge = false;
    m_headersDone = true;
  }
  if (kReceiveBufferBytes - m_end < size && m_begin > 0) {
    std::memmove(m_buffer.get(), m_buffer.get() + m_begin, Buffered());
    m_end -= m_begin;
    m_begin = 0;
  }
  if (kReceiveBufferBytes - m_end < size) {
    // libcurl keeps these bytes and offers them again once the reader has made room.
    m_paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  std::memcpy(m_buffer.get() + m_end, data, size);
  m_end += size;
  return size;
}

std::int64_t CCurlResponse::Read(void* buffer, std::size_t size) {
  auto* out = static_cast<char*>(buffer);
  std::size_t got = 0;
  while (got < size) {
    if (Buffered() > 0) {
      const std::size_t n = std::min(size - got, Buffered());
      std::memcpy(out + got, m_buffer.get() + m_begin, n);
      m_begin += n;
      got += n;
      if (m_begin == m_end) m_begin = m_end = 0;
      continue;
    }
    if (m_result) break;
    if (m_paused) {
      m_paused = false;
      curl_easy_pause(m_easy, CURLPAUSE_CONT);
      continue;
    }
    Drive();
  }
  if (got > 0) return static_cast<std::int64_t>(got);
  // A connection closed before the declared length is the end of the data, as on Windows;
  // the download worker's length check then judges what arrived.
  const bool ended = m_result == CURLE_OK || m_result == CURLE_PARTIAL_FILE;
  return ended ? 0 : -1;
}

// libcurl itself, set up before and torn down after everything else of the transport.
struct CCurlLibrary {
  CCurlLibrary() { curl_global_init(CURL_GLOBAL_DEFAULT); }
  ~CCurlLibrary() { curl_global_cleanup(); }
  CCurlLibrary(const CCurlLibrary&) = delete;
  CCurlLibrary& operator=(const CCurlLibrary&) = delete;
};

class CCurlTransport final : public IHttpTransport {
 public:
  CCurlTransport() = default;
  CCurlTransport(const CCurlTransport&) = delete;
  CCurlTransport& operator=(const CCurlTransport&) = delete;

  std::unique_ptr<IHttpResponse> Open(const std::wstring& url) override { return OpenRange(url, {}); }
  std::unique_ptr<IHttpResponse> OpenRange(const std::wstring& url, const CRangeRequest& range) override {
    auto response = std::make_unique<CCurlResponse>(m_share.Handle(), m_multis, m_stallLimitMs);
    // Escaped as the Windows client escapes it: libcurl refuses a URL with a space.
    if (!response->Start(RequestUrl(url), m_caFile, range)) return nullptr;
    return response;
  }

  void TrustCaFile(const std::string& path) { m_caFile = path; }
  void SetStallLimit(std::uint32_t ms) { m_stallLimitMs = ms; }

  // libcurl takes its proxy from these variables, as every command-line tool here does.
  std::wstring ProxyText() const override {
    std::wstring text;
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
      const char* value = std::getenv(name);
      if (value != nullptr && *value != 0) {
        text += (text.empty() ? L"" : L", ") + FromUtf8(name) + L"=" + WithoutCredentials(FromUtf8(value));
      }
    }
    return text.empty() ? L"none (no proxy variable set)" : text;
  }

 private:
  CCurlLibrary m_library;  // first: the share below is made after it and cleaned up before it
  // Test-only: the one CA file trusted in place of the system's store; empty in shipped Setups.
  std::string m_caFile;
  std::uint32_t m_stallLimitMs = kStallLimitMs;
  CCurlShare m_share;
  CMultiPool m_multis;
};

CCurlTransport& CurlTransport() {
  static CCurlTransport transport;
  return transport;
}

}  // namespace

IHttpTransport& PlatformHttpTransport() { return CurlTransport(); }

void TrustCaFileForTesting(const std::string& path) { CurlTransport().TrustCaFile(path); }

void SetStallLimitForTesting(std::uint32_t ms) { CurlTransport().SetStallLimit(ms); }
