// A transport that writes every request of the run to the support log: the URL, the answer
// (status, declared length, where redirects ended), the bytes received and the time taken.
// With the log off it hands the platform transport's responses through untouched.
#pragma once

#include <memory>
#include <string>

#include "download/http_transport.h"
#include "system/clock.h"
#include "system/support_log.h"

class CLoggingTransport final : public IHttpTransport {
 public:
  CLoggingTransport(IHttpTransport& transport, CSupportLog& log, IClock& clock)
      : m_transport(transport), m_log(log), m_clock(clock) {}
  std::unique_ptr<IHttpResponse> Open(const std::wstring& url) override;
  std::unique_ptr<IHttpResponse> OpenRange(const std::wstring& url, const CRangeRequest& range) override;
  std::wstring ProxyText() const override { return m_transport.ProxyText(); }

 private:
  IHttpTransport& m_transport;
  CSupportLog& m_log;
  IClock& m_clock;
};
