// Fuzz target: the download worker's not-found test on arbitrary chunks, against a small
// rule of its own on the bytes. On Linux every byte below 0x80 stays one ASCII character and
// every other byte becomes a character above U+007F, so markup and digits can be found in the
// bytes themselves.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "download/downloader.h"

namespace {

// Two of the worker's chunks: the test is only ever given one, but longer ones cost nothing.
constexpr std::size_t kMaxInputBytes = 2048;

// Where tag occurs in text, when it occurs exactly once.
std::size_t Single(const std::string& text, const std::string& tag) {
  const auto first = text.find(tag);
  if (first == std::string::npos || text.find(tag, first + 1) != std::string::npos) return std::string::npos;
  return first;
}

// A page up to its first zero byte, ASCII letters without case, with one <title> and one
// </title> behind it, whose text between them holds "404".
bool IsNotFoundPage(const std::uint8_t* data, std::size_t size) {
  std::string page(reinterpret_cast<const char*>(data), std::find(data, data + size, 0) - data);
  for (auto& c : page) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  const auto open = Single(page, "<TITLE>");
  const auto close = Single(page, "</TITLE>");
  if (open == std::string::npos || close == std::string::npos || close < open + 7) return false;
  return page.substr(open + 7, close - open - 7).find("404") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInputBytes) return 0;
  if (IsErrorPageChunk(reinterpret_cast<const char*>(data), size) != IsNotFoundPage(data, size)) std::abort();
  return 0;
}
