// The compiled-in catalogues (made by cmake/texts_catalogue.py) and the platform's side of the
// texts: where a language's texts are, and which languages the user prefers.
#pragma once

#include <string>
#include <vector>

#include "system/texts.h"

// English, the keys of every catalogue.
extern const wchar_t* const kEnglishTexts[kTextCount];

// One built-in language: its tag, and on Windows the LANGID of its string table, on Linux its
// texts in UTF-8 (each platform's table leaves the other's field empty). The list ends with a
// null tag.
struct CCatalogue {
  const char* tag;
  unsigned short langId;
  const char* const* texts;
};
extern const CCatalogue kCatalogues[];

// The user's interface languages, most preferred first.
std::vector<std::string> UserLanguages();
// Text id of catalogue index, or empty when the platform has none.
std::wstring CatalogueText(int catalogue, TextId id);
