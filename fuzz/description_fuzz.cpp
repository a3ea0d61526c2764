// Fuzz target: placeholder expansion, lookups and lists on arbitrary text. The expansion must
// give exactly the text and missing-tag reports of the straightforward one kept here, which
// rescans the whole text for every lookup, and the lists must agree with the text's items.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "description/setup_description.h"
#include "description/tag_parser.h"
#include "system/text.h"

namespace {

// Longer inputs only slow the straightforward expansion down without reaching new code.
constexpr std::size_t kMaxInputBytes = 4096;

struct CActive {
  std::wstring name;
  std::size_t end;
};

// The expansion as the text defines it: replace in place, look each tag up afresh.
bool StraightforwardExpand(std::wstring& text, std::vector<std::wstring>& missing) {
  std::vector<CActive> active;
  const std::size_t maxLength = text.size() + kMaxPlaceholderGrowth;
  int replacements = 0;
  for (auto f = text.find(L'$'); f != std::wstring::npos; f = text.find(L'$', f)) {
    const auto h = text.find(L'$', f + 1);
    if (h == std::wstring::npos) break;
    while (!active.empty() && h >= active.back().end) active.pop_back();
    const std::wstring name = text.substr(f + 1, h - f - 1);
    for (const auto& outer : active) {
      if (outer.name == name) return false;
    }
    std::wstring value;
    if (!GetTagValueIn(text, name, value)) missing.push_back(name);
    const std::wstring replacement = GetItemOfValue(value, 0);
    const std::size_t removed = h - f + 1;
    if (++replacements > kMaxPlaceholderReplacements || text.size() - removed + replacement.size() > maxLength) {
      return false;
    }
    text.replace(f, removed, replacement);
    for (auto& outer : active) outer.end = outer.end - removed + replacement.size();
    active.push_back({name, f + replacement.size()});
  }
  return true;
}

void Require(bool condition) {
  if (!condition) std::abort();
}

// Folder placeholders depend on the machine, so their names are kept out of the input.
bool NamesAFolder(const std::wstring& text) {
  for (const wchar_t* name :
       {L"Program Files Folder", L"Temp Folder", L"Desktop Folder", L"Startmenu Folder", L"Application Path"}) {
    if (text.find(name) != std::wstring::npos) return true;
  }
  return false;
}

void CheckList(CSetupDescription& description, const std::wstring& tag) {
  std::wstring value;
  const bool present = GetTagValueIn(description.Text(), tag, value);
  std::wstring site;
  int index = 0;
  for (bool ok = description.GetFirstSite(site); ok; ok = description.GetNextSite(site), ++index) {
    Require(present && site == TrimDescriptionSpace(GetItemOfValue(value, index)));
  }
  Require(description.GetItem(tag, index + 1000) == L"");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInputBytes) return 0;
  const std::wstring input = DecodeNarrowText(std::string(reinterpret_cast<const char*>(data), size));
  if (NamesAFolder(input)) return 0;
  CSetupDescription description;
  std::vector<std::wstring> missing;
  description.SetMissingTagHandler([&missing](const std::wstring& name) { missing.push_back(name); });
  description.LoadText(input);
  // The straightforward path, on the text with its comments removed the same way.
  std::wstring expected;
  for (std::size_t pos = 0; pos < input.size();) {
    const auto comment = input.find(L"//", pos);
    expected += input.substr(pos, comment - pos);
    if (comment == std::wstring::npos) break;
    pos = input.find(L'\n', comment + 1);
  }
  std::vector<std::wstring> expectedMissing;
  const bool expanded = StraightforwardExpand(expected, expectedMissing);
  Require(description.Text() == expected);
  std::wstring end;
  if (expanded && !GetTagValueIn(expected, L"End", end)) expectedMissing.push_back(L"End");
  Require(missing == expectedMissing);
  description.SetMissingTagHandler([](const std::wstring&) {});
  CheckList(description, L"Download Sites");
  return 0;
}
