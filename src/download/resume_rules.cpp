// The range rules of a resumed download (see resume_rules.h).
#include "download/resume_rules.h"

#include <cctype>

namespace {

constexpr int kStatusOk = 200;
constexpr int kStatusPartialContent = 206;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// "Accept-Ranges" is a comma-separated list of units.
bool OffersByteRanges(std::string_view acceptRanges) {
  while (!acceptRanges.empty()) {
    const std::size_t comma = acceptRanges.find(',');
    if (EqualsNoCase(Trimmed(acceptRanges.substr(0, comma)), "bytes")) return true;
    if (comma == std::string_view::npos) break;
    acceptRanges.remove_prefix(comma + 1);
  }
  return false;
}

// Digits only, without overflow; consumes them from text.
std::optional<std::uint64_t> TakeNumber(std::string_view& text) {
  std::uint64_t value = 0;
  std::size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
    const auto digit = static_cast<std::uint64_t>(text[digits] - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  text.remove_prefix(digits);
  return value;
}

bool TakeChar(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

std::string Validator(const IHttpResponse& response) {
  const std::string etag = response.HeaderValue("ETag");
  if (!etag.empty()) return etag.rfind("W/", 0) == 0 ? std::string() : etag;
  return response.HeaderValue("Last-Modified");
}

}  // namespace

std::optional<CContentRange> ParseContentRange(std::string_view text) {
  text = Trimmed(text);
  constexpr std::string_view kUnit = "bytes ";
  if (text.size() < kUnit.size() || !EqualsNoCase(text.substr(0, kUnit.size()), kUnit)) return std::nullopt;
  text.remove_prefix(kUnit.size());
  CContentRange range;
  const auto first = TakeNumber(text);
  if (!first || !TakeChar(text, '-')) return std::nullopt;
  const auto last = TakeNumber(text);
  if (!last || !TakeChar(text, '/')) return std::nullopt;
  const auto total = TakeNumber(text);
  if (!total || !text.empty() || *first > *last || *last >= *total) return std::nullopt;
  range.first = *first;
  range.last = *last;
  range.total = *total;
  return range;
}

std::optional<CResumePoint> ResumePointAfter(const IHttpResponse& response, std::uint64_t kept) {
  CResumePoint point;
  if (response.StatusCode() == kStatusOk) {
    if (!OffersByteRanges(response.HeaderValue("Accept-Ranges"))) return std::nullopt;
    point.total = response.DeclaredLength();
  } else if (response.StatusCode() == kStatusPartialContent) {
    // A server that sent one part will send another.
    const auto range = ParseContentRange(response.HeaderValue("Content-Range"));
    if (!range) return std::nullopt;
    point.total = range->total;
  } else {
    return std::nullopt;
  }
  point.offset = kept;
  point.validator = Validator(response);
  if (point.validator.empty() || kept == 0 || kept >= point.total) return std::nullopt;
  return point;
}

CResumeAnswer JudgeResumeAnswer(const IHttpResponse& response, const CResumePoint& point) {
  if (response.StatusCode() == kStatusOk) return CResumeAnswer::WholeFile;
  if (response.StatusCode() != kStatusPartialContent) return CResumeAnswer::Other;
  const auto range = ParseContentRange(response.HeaderValue("Content-Range"));
  const bool rest =
      range && range->first == point.offset && range->last + 1 == range->total && range->total == point.total;
  // A declared length must be the rest's; none (a chunked part) is judged by the file's length.
  const std::uint64_t declared = response.DeclaredLength();
  return rest && (declared == 0 || declared == point.total - point.offset) ? CResumeAnswer::Continues
                                                                           : CResumeAnswer::Other;
}
