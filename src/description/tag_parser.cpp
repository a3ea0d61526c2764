// Lookups on the tagged text of a setup description (see tag_parser.h and setup_description.h).
#include "description/tag_parser.h"

#include <algorithm>

#include "description/setup_description.h"
#include "framework/framework.h"
#include "system/text.h"
#include "system/texts.h"

namespace {
constexpr wchar_t kLastNarrowCharacter = 0xFF;
const wchar_t kMissingTagCaption[] = L"Ini Parser";
}  // namespace

bool IsDescriptionSpace(wchar_t c) {
  if (c > kLastNarrowCharacter) return IsWideSpace(c);
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

std::wstring TrimDescriptionSpace(std::wstring_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsDescriptionSpace(text[begin])) ++begin;
  while (end > begin && IsDescriptionSpace(text[end - 1])) --end;
  return std::wstring(text.substr(begin, end - begin));
}

std::ptrdiff_t FindTagIn(const std::wstring& text, const std::wstring& name) {
  const std::wstring header = AsciiUpper(L"[" + name + L"]");
  // Compared in place: a copy of the text per lookup made long descriptions slow to read.
  const auto at = std::search(text.begin(), text.end(), header.begin(), header.end(), [](wchar_t c, wchar_t upper) {
    return (c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c) == upper;
  });
  if (at == text.end()) return kTagNotFound;
  return static_cast<std::ptrdiff_t>(at - text.begin()) + static_cast<std::ptrdiff_t>(header.size());
}

bool GetTagValueIn(const std::wstring& text, const std::wstring& name, std::wstring& value) {
  value.clear();
  const std::ptrdiff_t p = FindTagIn(text, name);
  if (p == kTagNotFound) return false;
  const auto start = static_cast<std::size_t>(p);
  auto end = text.find(L'[', start);
  if (end == std::wstring::npos) end = text.size();
  value = TrimDescriptionSpace(std::wstring_view(text).substr(start, end - start));
  return true;
}

std::wstring GetItemOfValue(const std::wstring& value, int index) {
  if (index < 0) return {};
  std::size_t start = 0;
  for (int i = 0; i < index; ++i) {
    const auto lineFeed = value.find(L'\n', start);
    // Past the last item: the remaining items are all empty.
    if (lineFeed == std::wstring::npos) return {};
    start = lineFeed + 1;
  }
  auto end = value.find(L'\n', start);
  if (end == std::wstring::npos) end = value.size();
  return end > start ? value.substr(start, end - start) : std::wstring();
}

const CSetupDescription::CTagLookup& CSetupDescription::Lookup(const std::wstring& name) const {
  const std::wstring key = AsciiUpper(name);
  if (const auto known = m_lookups.find(key); known != m_lookups.end()) return known->second;
  CTagLookup lookup{FindTagIn(m_text, name), {}};
  if (lookup.position != kTagNotFound) {
    const auto behind = static_cast<std::size_t>(lookup.position);
    auto end = m_text.find(L'[', behind);
    if (end == std::wstring::npos) end = m_text.size();
    std::size_t start = behind;
    while (start < end && IsDescriptionSpace(m_text[start])) ++start;
    while (end > start && IsDescriptionSpace(m_text[end - 1])) --end;
    for (std::size_t item = start;;) {
      const auto lineFeed = std::find(m_text.begin() + static_cast<std::ptrdiff_t>(item),
                                      m_text.begin() + static_cast<std::ptrdiff_t>(end), L'\n');
      const auto itemEnd = static_cast<std::size_t>(lineFeed - m_text.begin());
      lookup.items.emplace_back(item, itemEnd - item);
      if (itemEnd == end) break;
      item = itemEnd + 1;
    }
  }
  return m_lookups.emplace(key, std::move(lookup)).first->second;
}

std::ptrdiff_t CSetupDescription::FindTag(const std::wstring& name) const { return Lookup(name).position; }

std::wstring CSetupDescription::GetItem(const std::wstring& name, int index) const {
  const CTagLookup& lookup = Lookup(name);
  if (lookup.position == kTagNotFound) {
    ReportMissingTag(name);
    return {};
  }
  if (index < 0 || static_cast<std::size_t>(index) >= lookup.items.size()) return {};
  const auto [start, length] = lookup.items[static_cast<std::size_t>(index)];
  return m_text.substr(start, length);
}

std::wstring CSetupDescription::GetValue(const std::wstring& name) const { return GetItem(name, 0); }

void CSetupDescription::ReportMissingTag(const std::wstring& name) const {
  if (m_onMissingTag) {
    m_onMissingTag(name);
    return;
  }
  ShowMessageBox(nullptr, ::Text(IDS_TAG_NOT_FOUND, {name}), kMissingTagCaption);
}
