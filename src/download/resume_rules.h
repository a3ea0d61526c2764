// Resuming a cut transfer with an HTTP range: when a response lets the next attempt ask for the
// rest of the file, and whether the answer to that request continues the bytes kept.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "download/http_transport.h"

// Where the next attempt goes on, and what the server must still have for it to.
struct CResumePoint {
  std::uint64_t offset = 0;  // bytes kept: the first one asked for
  std::uint64_t total = 0;   // the whole file's length
  std::string validator;     // a strong ETag, else Last-Modified: sent as If-Range
};

// The point the next attempt may resume from after kept bytes of the file came from response
// (a whole file, or the rest of one); none when it must start again from the first byte: the
// server offers no byte ranges, names no strong validator (a weak ETag promises the same meaning,
// not the same bytes), or nothing useful was kept.
std::optional<CResumePoint> ResumePointAfter(const IHttpResponse& response, std::uint64_t kept);

enum class CResumeAnswer {
  Continues,  // 206 with exactly the rest of the same file: appended to the kept bytes
  WholeFile,  // 200: the file changed, or the server ignores ranges; it starts again with this
  Other,      // anything else: the kept bytes cannot be trusted to fit
};
CResumeAnswer JudgeResumeAnswer(const IHttpResponse& response, const CResumePoint& point);

struct CContentRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::uint64_t total = 0;
};
// "bytes <first>-<last>/<total>" with first <= last < total; none for anything else (an unknown
// total "*" included).
std::optional<CContentRange> ParseContentRange(std::string_view text);
