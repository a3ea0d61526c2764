// Windows side of the texts: each language is a string table in Setup.exe, found by its LANGID
// (not by the thread's language, which LoadStringW would use); the languages are the user's
// interface languages in their order of preference.
#include <windows.h>

#include "system/text.h"
#include "system/texts_catalogue.h"

std::vector<std::string> UserLanguages() {
  std::vector<std::string> languages;
  ULONG count = 0;
  ULONG length = 0;
  // A list of names, each ending in a zero, the list in another.
  if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &length) && length > 0) {
    std::wstring names(length, L'\0');
    if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &length)) {
      for (std::size_t start = 0; start < names.size() && names[start] != L'\0';) {
        const std::size_t end = names.find(L'\0', start);
        languages.push_back(ToUtf8(names.substr(start, end - start)));
        start = end + 1;
      }
    }
  }
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  if (languages.empty() && LCIDToLocaleName(GetUserDefaultUILanguage(), name, LOCALE_NAME_MAX_LENGTH, 0) > 0) {
    languages.push_back(ToUtf8(name));
  }
  return languages;
}

std::wstring CatalogueText(int catalogue, TextId id) {
  // A string table block holds 16 strings, each a length in UTF-16 units and then the units.
  const unsigned resourceId = kTextResourceBase + id;
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(resourceId / 16 + 1),
                                kCatalogues[catalogue].langId);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const auto* units = loaded != nullptr ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (units == nullptr) return {};
  const WCHAR* end = units + SizeofResource(module, found) / sizeof(WCHAR);
  for (unsigned i = 0;; ++i) {
    if (units >= end || *units > end - units - 1) return {};
    if (i == resourceId % 16) return std::wstring(units + 1, *units);
    units += 1 + *units;
  }
}
