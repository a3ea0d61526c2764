// The texts in the user's language (see texts.h): the choice of catalogue and the filling of
// values, the same on both platforms.
#include "system/texts.h"

#include "system/texts_catalogue.h"

namespace {
constexpr int kEnglish = -1;
constexpr int kNotChosen = -2;
int g_chosen = kNotChosen;

// Lower case, '-' as '_', without ".codeset" and "@modifier": "de-DE", "de_DE.UTF-8" → "de_de".
std::string NormalTag(const std::string& tag) {
  std::string normal;
  for (char c : tag) {
    if (c == '.' || c == '@') break;
    normal += c == '-' ? '_' : (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  // Simplified Chinese is what the zh_CN catalogue is written in, whatever the region.
  if (normal.rfind("zh_hans", 0) == 0 || normal == "zh_sg") return "zh_cn";
  return normal;
}

int Find(const std::string& normal, const std::vector<std::string>& catalogues) {
  for (std::size_t i = 0; i < catalogues.size(); ++i) {
    if (NormalTag(catalogues[i]) == normal) return static_cast<int>(i);
  }
  return kNotChosen;
}

std::vector<std::string> CatalogueTags() {
  std::vector<std::string> tags;
  for (const CCatalogue* c = kCatalogues; c->tag != nullptr; ++c) tags.emplace_back(c->tag);
  return tags;
}

// Chosen on the first text, which the run asks for on its main thread before any other starts.
int Chosen() {
  if (g_chosen != kNotChosen) return g_chosen;
  const std::vector<std::string> tags = CatalogueTags();
  g_chosen = tags.empty() ? kEnglish : ChooseCatalogue(UserLanguages(), tags);
  return g_chosen;
}
}  // namespace

int ChooseCatalogue(const std::vector<std::string>& preferred, const std::vector<std::string>& catalogues) {
  for (const std::string& tag : preferred) {
    const std::string normal = NormalTag(tag);
    if (normal.empty() || normal == "c" || normal == "posix") continue;
    const std::string language = normal.substr(0, normal.find('_'));
    if (language == "en") return kEnglish;
    if (int found = Find(normal, catalogues); found != kNotChosen) return found;
    if (int found = Find(language, catalogues); found != kNotChosen) return found;
  }
  return kEnglish;
}

std::vector<std::string> LanguagesFromEnvironment(const char* (*getValue)(const char*)) {
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = getValue(name);
    if (value != nullptr && *value != '\0') {
      locale = value;
      break;
    }
  }
  const std::string normal = NormalTag(locale);
  if (normal.empty() || normal == "c" || normal == "posix") return {};
  std::vector<std::string> languages;
  if (const char* list = getValue("LANGUAGE"); list != nullptr) {
    std::string item;
    for (const char* p = list;; ++p) {
      if (*p == ':' || *p == '\0') {
        if (!item.empty()) languages.push_back(item);
        item.clear();
        if (*p == '\0') break;
      } else {
        item += *p;
      }
    }
  }
  languages.push_back(locale);
  return languages;
}

std::wstring FillValues(std::wstring_view pattern, std::initializer_list<std::wstring_view> values) {
  std::wstring text;
  std::size_t next = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != L'%' || i + 1 >= pattern.size()) {
      text += pattern[i];
      continue;
    }
    const wchar_t c = pattern[i + 1];
    std::size_t value = values.size();
    std::size_t length = 0;
    if (c == L'%') {
      text += L'%';
      ++i;
      continue;
    }
    if (c == L's') {
      value = next++;
      length = 2;
    } else if (c >= L'1' && c <= L'9' && i + 3 < pattern.size() && pattern[i + 2] == L'$' && pattern[i + 3] == L's') {
      value = static_cast<std::size_t>(c - L'1');
      length = 4;
    }
    if (value < values.size()) {
      text += values.begin()[value];
      i += length - 1;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

std::wstring Text(TextId id, std::initializer_list<std::wstring_view> values) {
  if (id >= kTextCount) return {};
  const int catalogue = Chosen();
  std::wstring pattern = catalogue == kEnglish ? std::wstring() : CatalogueText(catalogue, id);
  if (pattern.empty()) pattern = kEnglishTexts[id];
  return FillValues(pattern, values);
}

std::string TextLanguage() {
  const int catalogue = Chosen();
  return catalogue == kEnglish ? "en" : kCatalogues[catalogue].tag;
}

void SetTextLanguageForTesting(const std::string& tag) {
  g_chosen = tag.empty() ? kNotChosen : ChooseCatalogue({tag}, CatalogueTags());
}
