// The URL probe and the parsing of declared lengths, the same over every transport.
#include "download/connection.h"

#include <cstdint>
#include <limits>

std::uint64_t ParseDeclaredLength(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::size_t end = text.size();
  while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r' || text[end - 1] == '\n')) {
    --end;
  }
  if (i == end) return 0;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    const auto digit = static_cast<std::uint64_t>(text[i] - '0');
    if (value > (kMax - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  return value;
}

std::int64_t ProbeUrlLength(const std::wstring& url, IHttpTransport& transport) {
  const auto response = transport.Open(url);
  if (response == nullptr || response->StatusCode() >= kFirstErrorStatus) return 0;
  // Lengths beyond the signed range cannot be a real file; they count as no length.
  const std::uint64_t length = response->DeclaredLength();
  if (length > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return 0;
  // Leaving here destroys the response, which closes the connection without reading the body.
  return static_cast<std::int64_t>(length);
}
