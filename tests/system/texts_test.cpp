// The texts in the user's language: which catalogue a user's languages choose, how the
// environment names them, and how values are filled in.
#include "system/texts.h"

#include <gtest/gtest.h>

#include <map>

// Catches a region that hides a language, a codeset or modifier taken as part of the tag, "C"
// taken as a language, a second preference beating "en" before it, or a preference order lost.
TEST(TextsTest, ChoosesTheFirstLanguageACatalogueHas) {
  const std::vector<std::string> catalogues = {"de", "pt_BR", "zh_CN", "ja"};
  const struct {
    std::vector<std::string> preferred;
    int chosen;
  } rows[] = {
      {{"de-DE"}, 0},           {{"de_AT.UTF-8@euro"}, 0}, {{"DE"}, 0},          {{"pt-BR"}, 1},
      {{"pt_br.utf8"}, 1},      {{"pt-PT"}, -1},          {{"pt"}, -1},         {{"zh-CN"}, 2},
      {{"zh-Hans-CN"}, 2},      {{"zh-SG"}, 2},           {{"zh-TW"}, -1},      {{"nl-NL", "ja-JP"}, 3},
      {{"en-US", "de-DE"}, -1}, {{"C", "de"}, 0},         {{"POSIX"}, -1},      {{"C.UTF-8"}, -1},
      {{""}, -1},               {{}, -1},                 {{"fr", "xx"}, -1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ChooseCatalogue(row.preferred, catalogues), row.chosen)
        << (row.preferred.empty() ? std::string("(none)") : row.preferred[0]);
  }
}

// Catches LANG read before LC_ALL, LANGUAGE honoured under the "C" locale (gettext ignores it
// there), or an empty variable taken as a setting.
TEST(TextsTest, ReadsTheEnvironmentAsGettextDoes) {
  static std::map<std::string, std::string> variables;
  const auto get = [](const char* name) -> const char* {
    const auto found = variables.find(name);
    return found == variables.end() ? nullptr : found->second.c_str();
  };
  const struct {
    std::map<std::string, std::string> set;
    std::vector<std::string> languages;
  } rows[] = {
      {{}, {}},
      {{{"LANG", "de_DE.UTF-8"}}, {"de_DE.UTF-8"}},
      {{{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}}, {"ja_JP.UTF-8"}},
      {{{"LANG", "de_DE"}, {"LC_MESSAGES", "ja_JP"}, {"LC_ALL", "fr_FR"}}, {"fr_FR"}},
      {{{"LC_ALL", ""}, {"LANG", "ko_KR"}}, {"ko_KR"}},
      {{{"LANG", "de_DE"}, {"LANGUAGE", "pl:ru::tr"}}, {"pl", "ru", "tr", "de_DE"}},
      {{{"LANG", "C"}, {"LANGUAGE", "pl"}}, {}},
      {{{"LC_ALL", "POSIX"}, {"LANG", "de_DE"}}, {}},
  };
  for (const auto& row : rows) {
    variables = row.set;
    EXPECT_EQ(LanguagesFromEnvironment(get), row.languages) << row.set.size();
  }
}

// Catches a value read beyond those given, "%%" doubled, numbered values taken in the wrong
// order, or a lone "%" at the end lost.
TEST(TextsTest, FillsValuesByOrderAndByNumber) {
  const struct {
    const wchar_t* pattern;
    const wchar_t* filled;
  } rows[] = {
      {L"Error: Failed to download %s", L"Error: Failed to download a%1$s"},
      {L"%2$s of %1$s", L"b of a%1$s"},
      {L"%s of %s, %s", L"a%1$s of b, %s"},
      {L"100%% %3$s %9$s %d %", L"100% %3$s %9$s %d %"},
  };
  for (const auto& row : rows) EXPECT_EQ(FillValues(row.pattern, {L"a%1$s", L"b"}), row.filled) << row.pattern;
}

// Catches a language's text not found where it is compiled in (on Windows: Setup.exe's string
// table by its LANGID), or English not given back for an unknown language.
TEST(TextsTest, GivesTheChosenLanguagesText) {
  SetTextLanguageForTesting("de-CH");
  if (TextLanguage() != "de") GTEST_SKIP() << "built without German (WEBSETUP_LANGUAGES)";
  EXPECT_EQ(Text(IDS_FILE_DOWNLOAD_FAILED, {L"Notes.txt"}),
            L"Fehler: Notes.txt konnte nicht heruntergeladen werden");
  SetTextLanguageForTesting("ja_JP.UTF-8");
  EXPECT_EQ(Text(IDS_SITE_NOT_FOUND),
            L"\x30a8\x30e9\x30fc: \x30c0\x30a6\x30f3\x30ed\x30fc\x30c9 \x30b5\x30a4\x30c8\x304c\x898b\x3064\x304b\x308a\x307e\x305b\x3093\x3002");
  SetTextLanguageForTesting("xx");
  EXPECT_EQ(TextLanguage(), "en");
  EXPECT_EQ(Text(IDS_FILE_DOWNLOAD_FAILED, {L"Notes.txt"}), L"Error: Failed to download Notes.txt");
  SetTextLanguageForTesting("");
}
