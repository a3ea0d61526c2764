// The logging transport (see logging_transport.h).
#include "download/logging_transport.h"

#include <cstdint>

#include "system/text.h"

namespace {

// Declared lengths are a server's word: one beyond the signed range is shown as what it is.
std::wstring Number(std::uint64_t value) {
  if (value > static_cast<std::uint64_t>(INT64_MAX)) return L"more than " + DecimalText(INT64_MAX);
  return DecimalText(static_cast<std::int64_t>(value));
}

// Counts what the caller reads and says so when the response is closed.
class CLoggedResponse final : public IHttpResponse {
 public:
  CLoggedResponse(std::unique_ptr<IHttpResponse> response, std::wstring url, CSupportLog& log, IClock& clock)
      : m_response(std::move(response)), m_url(std::move(url)), m_log(log), m_clock(clock) {}
  ~CLoggedResponse() override {
    // A probe closes the response after its headers; only a read body is worth a line.
    if (!m_read) return;
    m_log.Write(L"  body of " + m_url + L": " + Number(m_received) + L" bytes in " +
                Number(m_clock.TickCount() - m_firstReadTick) + L" ms" + (m_failed ? L", then a read failed" : L""));
  }
  CLoggedResponse(const CLoggedResponse&) = delete;
  CLoggedResponse& operator=(const CLoggedResponse&) = delete;

  int StatusCode() const override { return m_response->StatusCode(); }
  std::uint64_t DeclaredLength() const override { return m_response->DeclaredLength(); }
  std::wstring FinalUrl() const override { return m_response->FinalUrl(); }
  std::string HeaderValue(const char* name) const override { return m_response->HeaderValue(name); }
  std::int64_t Read(void* buffer, std::size_t size) override {
    if (!m_read) m_firstReadTick = m_clock.TickCount();
    m_read = true;
    const std::int64_t got = m_response->Read(buffer, size);
    if (got > 0) m_received += static_cast<std::uint64_t>(got);
    if (got < 0) m_failed = true;
    return got;
  }

 private:
  std::unique_ptr<IHttpResponse> m_response;
  std::wstring m_url;
  CSupportLog& m_log;
  IClock& m_clock;
  bool m_read = false;
  bool m_failed = false;
  std::uint64_t m_received = 0;
  std::uint32_t m_firstReadTick = 0;
};

}  // namespace

std::unique_ptr<IHttpResponse> CLoggingTransport::Open(const std::wstring& url) { return OpenRange(url, {}); }

std::unique_ptr<IHttpResponse> CLoggingTransport::OpenRange(const std::wstring& url, const CRangeRequest& range) {
  if (!m_log.IsOpen()) return m_transport.OpenRange(url, range);
  const std::wstring shown = WithoutCredentials(url);
  const std::wstring asked =
      range.from > 0 ? L" from byte " + Number(range.from) + L" if still " + FromUtf8(range.validator) : L"";
  const std::uint32_t start = m_clock.TickCount();
  std::unique_ptr<IHttpResponse> response = m_transport.OpenRange(url, range);
  const std::wstring took = L" (" + Number(m_clock.TickCount() - start) + L" ms)";
  if (response == nullptr) {
    m_log.Write(L"GET " + shown + asked +
                L": no response (no connection, refused, host not found, certificate or "
                L"redirect refused)" +
                took);
    return nullptr;
  }
  std::wstring line = L"GET " + shown + asked + L": status " + DecimalText(response->StatusCode()) +
                      L", declared length " + Number(response->DeclaredLength());
  if (response->StatusCode() == 206) line += L", range " + FromUtf8(response->HeaderValue("Content-Range"));
  const std::wstring final = WithoutCredentials(response->FinalUrl());
  if (!final.empty() && final != shown) line += L", redirected to " + final;
  if (response->ReusedConnection()) line += L", on a kept connection";
  if (const std::wstring note = response->StallLimitNote(); !note.empty()) line += L"; " + note;
  m_log.Write(line + took);
  return std::make_unique<CLoggedResponse>(std::move(response), shown, m_log, m_clock);
}
