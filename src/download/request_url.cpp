// The URL escaping of the Windows client, for the libcurl transport.
#include "download/request_url.h"

#include <cstddef>

#include "system/text.h"

namespace {

void AppendEscape(std::string& out, unsigned char byte) {
  out += '%';
  out += EncodeHexDigits(&byte, 1, HexCase::Upper);
}

// Where the host ends: the first slash, backslash, '?' or '#' after "scheme://"; the whole text
// when it names no scheme.
std::size_t PathStart(const std::string& url) {
  const std::size_t scheme = url.find("://");
  if (scheme == std::string::npos) return 0;
  const std::size_t end = url.find_first_of("/\\?#", scheme + 3);
  return end == std::string::npos ? url.size() : end;
}

}  // namespace

std::string RequestUrl(const std::wstring& url) {
  const std::string utf8 = ToUtf8(url);
  const std::size_t start = PathStart(utf8);
  std::string out = utf8.substr(0, start);
  for (std::size_t i = start; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c == '\t' || c == '\r' || c == '\n') continue;
    if (c == '\\') {
      out += '/';
    } else if (c == ' ' || c == '#' || c < 0x20 || c >= 0x7F) {
      AppendEscape(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}
