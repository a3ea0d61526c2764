// Extraction of one element's text from a page (see element_text.h).
#include "description/element_text.h"

#include "system/text.h"

namespace {
// Position of the single occurrence of tag in text, or npos when it is missing or doubled.
std::wstring::size_type FindSingle(const std::wstring& text, const std::wstring& tag) {
  const auto first = text.find(tag);
  if (first == std::wstring::npos || text.find(tag, first + 1) != std::wstring::npos) return std::wstring::npos;
  return first;
}
}  // namespace

std::wstring ExtractElementText(const std::wstring& text, const std::wstring& name) {
  const std::wstring upper = AsciiUpper(text);
  const std::wstring upperName = AsciiUpper(name);
  const std::wstring open = L"<" + upperName + L">";
  const std::wstring close = L"</" + upperName + L">";
  const auto a = FindSingle(upper, open);
  if (a == std::wstring::npos) return {};
  const auto b = FindSingle(upper, close);
  if (b == std::wstring::npos) return {};
  const auto s = a + open.size();
  return b > s ? upper.substr(s, b - s) : std::wstring();
}
