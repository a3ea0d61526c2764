// The HTTP transport on WinINet: the standard request (agent, preconfigured proxy without
// discovery, cache-bypassing URL flags), one Internet handle per request.
#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>

#include "download/http_transport.h"
#include "download/wininet_api_win.h"
#include "system/system32_win.h"
#include "system/text.h"

namespace {

// The machine's configured proxy, without automatic proxy discovery, which could stall the
// first request for many seconds.
constexpr DWORD kAccessType = INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY;
// Every request reaches the server: nothing answered from or written to the local cache, and
// the no-cache pragma keeps proxies from answering from theirs.
constexpr DWORD kUrlFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_HYPERLINK | INTERNET_FLAG_PRAGMA_NOCACHE;
static_assert(kAccessType == 4 && kUrlFlags == 0x84000500u, "the standard request");
// The length is queried as text and parsed into 64 bits: the numeric query form holds only 32
// bits, and a cut 5 GiB file would then pass for a 1 GiB one.
constexpr DWORD kContentLengthQuery = HTTP_QUERY_CONTENT_LENGTH;
// Room for any Content-Length value, in characters.
constexpr DWORD kLengthTextChars = 64;
// Room for a header value the download worker reads (a validator, a range); a longer one is taken
// as absent, which only means that a cut transfer starts again from its first byte.
constexpr DWORD kHeaderTextChars = 512;

// Header values are ASCII; anything else cannot match what the worker looks for.
std::string Narrow(const wchar_t* text) {
  std::string narrow;
  for (const wchar_t* c = text; *c != 0; ++c) narrow.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
  return narrow;
}

// kStallLimitMs, but for tests that shorten it.
DWORD g_stallLimitMs = kStallLimitMs;
// Tests only: the status callback is taken as refused, as a WinINet may refuse it.
bool g_refuseStatusCallback = false;

bool IsHttpsUrl(const std::wstring& url) {
  const std::wstring prefix = L"https://";
  if (url.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::towlower(url[i]) != prefix[i]) return false;
  }
  return true;
}

// The URL the response finally came from, after any redirects; empty when it cannot be had.
std::wstring FinalUrl(const CWinInetApi& api, HINTERNET handle) {
  DWORD size = 0;
  api.queryOption(handle, INTERNET_OPTION_URL, nullptr, &size);
  if (size == 0) return std::wstring();
  std::wstring url(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(url.size() * sizeof(wchar_t));
  if (!api.queryOption(handle, INTERNET_OPTION_URL, url.data(), &size)) return std::wstring();
  url.resize(std::wcslen(url.c_str()));
  return url;
}

// Called on the requesting thread while InternetOpenUrlW sends the request (and again for each
// redirect), before the response is read: the stall limit is set on the request handle itself.
// Inheriting it from the Internet handle is enough for Windows' WinINet, but wine's request
// handles start without a limit, and a limit set once the response is open no longer reaches
// its socket. The context is the loaded WinINet.
void CALLBACK OnRequestStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void*, DWORD) {
  if (status != INTERNET_STATUS_SENDING_REQUEST) return;
  const auto* api = reinterpret_cast<const CWinInetApi*>(context);
  DWORD stallLimit = g_stallLimitMs;
  api->setOption(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &stallLimit, sizeof(stallLimit));
}

CWinInetApi LoadWinInet() {
  CWinInetApi api;
  HMODULE module = LoadSystem32Library(L"wininet.dll");
  if (module == nullptr) return api;
  api.getConnectedState = System32Entry<decltype(api.getConnectedState)>(module, "InternetGetConnectedState");
  api.open = System32Entry<decltype(api.open)>(module, "InternetOpenW");
  api.openUrl = System32Entry<decltype(api.openUrl)>(module, "InternetOpenUrlW");
  api.queryInfo = System32Entry<decltype(api.queryInfo)>(module, "HttpQueryInfoW");
  api.queryOption = System32Entry<decltype(api.queryOption)>(module, "InternetQueryOptionW");
  api.setOption = System32Entry<decltype(api.setOption)>(module, "InternetSetOptionW");
  api.setStatusCallback = System32Entry<decltype(api.setStatusCallback)>(module, "InternetSetStatusCallbackW");
  api.readFile = System32Entry<decltype(api.readFile)>(module, "InternetReadFile");
  api.closeHandle = System32Entry<decltype(api.closeHandle)>(module, "InternetCloseHandle");
  return api;
}

class CWinInetResponse final : public IHttpResponse {
 public:
  CWinInetResponse(const CWinInetApi& api, HINTERNET internet, HINTERNET url, bool callbackSet)
      : m_api(api), m_internet(internet), m_url(url), m_callbackSet(callbackSet) {
    m_declaredLength = QueryDeclaredLength();
  }
  ~CWinInetResponse() override {
    m_api.closeHandle(m_url);
    m_api.closeHandle(m_internet);
  }
  CWinInetResponse(const CWinInetResponse&) = delete;
  CWinInetResponse& operator=(const CWinInetResponse&) = delete;

  int StatusCode() const override {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!m_api.queryInfo(m_url, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
    return static_cast<int>(status);
  }

  std::uint64_t DeclaredLength() const override { return m_declaredLength; }
  std::wstring FinalUrl() const override { return ::FinalUrl(m_api, m_url); }
  std::string HeaderValue(const char* name) const override {
    // HTTP_QUERY_CUSTOM takes the header's name in the buffer that receives its value.
    wchar_t text[kHeaderTextChars] = {};
    for (std::size_t i = 0; name[i] != 0 && i + 1 < kHeaderTextChars; ++i) text[i] = static_cast<wchar_t>(name[i]);
    DWORD size = sizeof(text) - sizeof(wchar_t);
    DWORD index = 0;
    if (!m_api.queryInfo(m_url, HTTP_QUERY_CUSTOM, text, &size, &index)) return {};
    std::string value = Narrow(text);
    const auto first = value.find_first_not_of(" \t");
    const auto last = value.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
  }
  std::wstring StallLimitNote() const override {
    if (m_callbackSet) return {};
    return L"the stall limit reached this request only as WinINet passes it on from its Internet handle "
           L"(the status callback was refused): a server that stops sending may hold it longer";
  }

  std::int64_t Read(void* buffer, std::size_t size) override {
    // Bytes past the declared length are not part of the response, though some WinINet
    // versions hand them out when a server sends more than it declares.
    if (m_declaredLength > 0)
      size = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_declaredLength - m_handedOut));
    const std::int64_t got = ReadUpTo(static_cast<char*>(buffer), size);
    if (got > 0) m_handedOut += static_cast<std::uint64_t>(got);
    return got;
  }

 private:
  std::uint64_t QueryDeclaredLength() const {
    wchar_t text[kLengthTextChars] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    DWORD index = 0;
    if (!m_api.queryInfo(m_url, kContentLengthQuery, text, &size, &index)) return 0;
    return ParseDeclaredLength(Narrow(text));
  }

  std::int64_t ReadUpTo(char* out, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
      DWORD n = 0;
      if (!m_api.readFile(m_url, out + got, static_cast<DWORD>(size - got), &n)) {
        return got > 0 ? static_cast<std::int64_t>(got) : -1;
      }
      if (n == 0) break;
      got += n;
    }
    return static_cast<std::int64_t>(got);
  }

  const CWinInetApi& m_api;
  HINTERNET m_internet;
  HINTERNET m_url;
  bool m_callbackSet;
  std::uint64_t m_declaredLength = 0;
  std::uint64_t m_handedOut = 0;
};

class CWinInetTransport final : public IHttpTransport {
 public:
  std::wstring ProxyText() const override { return L"the system's proxy settings, without automatic discovery"; }

  std::unique_ptr<IHttpResponse> Open(const std::wstring& url) override { return OpenRange(url, {}); }

  std::unique_ptr<IHttpResponse> OpenRange(const std::wstring& url, const CRangeRequest& range) override {
    const CWinInetApi* api = WinInetApi();
    if (api == nullptr) return nullptr;
    HINTERNET internet = api->open(kUserAgent, kAccessType, nullptr, nullptr, 0);
    if (internet == nullptr) return nullptr;
    // A server that stops sending fails the read after the same limit as on every platform,
    // whatever this WinINet's own default: set here to be inherited by the request, and on the
    // request itself by the status callback, which needs a context other than 0 to be called.
    DWORD stallLimit = g_stallLimitMs;
    api->setOption(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &stallLimit, sizeof(stallLimit));
    // Refused, the request has only what it inherits: enough for Windows' WinINet, not for
    // wine's. The run goes on (a stall may then last longer), the request handle gets the limit
    // too once it is open, for the reads after that, and the support log says so.
    const bool callbackSet = !g_refuseStatusCallback &&
                             api->setStatusCallback(internet, OnRequestStatus) != INTERNET_INVALID_STATUS_CALLBACK;
    // Certificates are WinINet's own checks against the system's store: no flag here ever
    // waives one. WinINet refuses to follow an https request down to plain http, but not every
    // version does (wine's follows it), so an https request whose response came from anything
    // but https is dropped unread: a compromised mirror cannot serve a file over plain http.
    std::wstring headers;
    if (range.from > 0) {
      headers = L"Range: bytes=" + DecimalText(range.from) + L"-\r\nIf-Range: " +
                std::wstring(range.validator.begin(), range.validator.end()) + L"\r\n";
    }
    HINTERNET handle = api->openUrl(internet, url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                                    static_cast<DWORD>(headers.size()), kUrlFlags, reinterpret_cast<DWORD_PTR>(api));
    if (handle != nullptr && IsHttpsUrl(url) && !IsHttpsUrl(FinalUrl(*api, handle))) {
      api->closeHandle(handle);
      handle = nullptr;
    }
    if (handle == nullptr) {
      api->closeHandle(internet);
      return nullptr;
    }
    if (!callbackSet) api->setOption(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &stallLimit, sizeof(stallLimit));
    return std::make_unique<CWinInetResponse>(*api, internet, handle, callbackSet);
  }
};

}  // namespace

const CWinInetApi* WinInetApi() {
  static const CWinInetApi api = LoadWinInet();
  const bool complete = api.getConnectedState != nullptr && api.open != nullptr && api.openUrl != nullptr &&
                        api.queryInfo != nullptr && api.queryOption != nullptr && api.setOption != nullptr &&
                        api.setStatusCallback != nullptr && api.readFile != nullptr && api.closeHandle != nullptr;
  return complete ? &api : nullptr;
}

IHttpTransport& PlatformHttpTransport() {
  static CWinInetTransport transport;
  return transport;
}

void SetStallLimitForTesting(std::uint32_t ms) { g_stallLimitMs = ms; }

void RefuseStatusCallbackForTesting(bool refuse) { g_refuseStatusCallback = refuse; }
