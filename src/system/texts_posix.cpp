// Linux side of the texts: the catalogues are tables in the program, the languages come from
// the environment as gettext reads them.
#include <cstdlib>

#include "system/text.h"
#include "system/texts_catalogue.h"

std::vector<std::string> UserLanguages() {
  return LanguagesFromEnvironment([](const char* name) -> const char* { return std::getenv(name); });
}

std::wstring CatalogueText(int catalogue, TextId id) { return FromUtf8(kCatalogues[catalogue].texts[id]); }
