// The HTTP transport seam: one GET with the standard request, its declared length and status,
// and the body read in pieces. WinINet on Windows, libcurl elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Every request of the bootstrapper introduces itself with this agent string, so that the
// download hosts can tell its traffic apart in their logs.
inline constexpr const wchar_t* kUserAgent = L"Orvel's Downloader";

// A response that delivers no byte for this long fails, from the request to the last byte:
// as long as the download worker waits for missing data at the end of a transfer, so a
// server that stops sending in the middle costs a user no more than one that stops at the end.
inline constexpr std::uint32_t kStallLimitMs = 20000;

// One opened URL: the final response (after redirects) whose headers have arrived. Closing
// (destroying) it drops the connection without reading the rest of the body.
class IHttpResponse {
 public:
  virtual ~IHttpResponse() = default;
  // The HTTP status code of the final response.
  virtual int StatusCode() const = 0;
  // The Content-Length of the final response; 0 when it has none or it is not a number.
  virtual std::uint64_t DeclaredLength() const = 0;
  // Reads up to size bytes of the body: fills the buffer unless the data ends first, so chunk
  // boundaries never depend on packet timing. Returns the count, 0 at the end of the data,
  // -1 when reading fails.
  virtual std::int64_t Read(void* buffer, std::size_t size) = 0;
  // The URL the final response came from after redirects; empty where unknown (libcurl: where
  // no redirect was followed).
  virtual std::wstring FinalUrl() const { return {}; }
  // True when the request went over a connection an earlier request had opened (libcurl; a
  // WinINet keeps its pool to itself and answers false).
  virtual bool ReusedConnection() const { return false; }
  // Empty when the stall limit guards this request from its start; else what guards it instead,
  // for the support log.
  virtual std::wstring StallLimitNote() const { return {}; }
  // The value of the final response's header name (any letter case), trimmed; empty when it has
  // none.
  virtual std::string HeaderValue(const char* name) const {
    (void)name;
    return {};
  }
};

// The rest of a resource asked for: "Range: bytes=<from>-" with "If-Range: <validator>", so
// that a server whose copy has changed since answers with the whole new one instead.
struct CRangeRequest {
  std::uint64_t from = 0;
  std::string validator;
};

class IHttpTransport {
 public:
  virtual ~IHttpTransport() = default;
  // Sends the standard request for url and returns once the final response's headers are in;
  // null when no response arrives (host not found, no connection, too many redirects).
  virtual std::unique_ptr<IHttpResponse> Open(const std::wstring& url) = 0;
  // The same request for the rest of the resource. A transport that cannot ask for a part sends
  // the plain request, whose whole answer the caller takes as a server that ignores ranges does.
  virtual std::unique_ptr<IHttpResponse> OpenRange(const std::wstring& url, const CRangeRequest& range) {
    (void)range;
    return Open(url);
  }
  // Which proxy the requests take, for the support log, never with a user name or password.
  virtual std::wstring ProxyText() const { return {}; }
};

// The platform's transport (WinINet, or libcurl); it lives for the whole process. Certificates
// of https URLs are always checked, and an https request never ends on a plain http URL (a
// redirect there fails it); plain http requests are sent as they always were.
IHttpTransport& PlatformHttpTransport();

// Test-only Setup programs: the platform transport trusts the CA certificates in this PEM file
// instead of the system's store. libcurl transport only: WinINet takes its trust from the
// system's store alone, so it has no such seam.
void TrustCaFileForTesting(const std::string& path);

// Tests only: a stall limit of ms instead of kStallLimitMs for every request made after the
// call, so that a stall can be shown in a second rather than in twenty.
void SetStallLimitForTesting(std::uint32_t ms);

// Parses a Content-Length value: decimal digits with optional surrounding blanks, as a 64-bit
// number; 0 for anything else (empty, signs, other characters, overflow).
std::uint64_t ParseDeclaredLength(const std::string& text);
