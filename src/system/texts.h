// The texts Setup shows its users, in the user's language.
//
// po/websetup.pot declares every text (its English wording is the key); each po/<language>.po
// translates them, and the build compiles in the languages WEBSETUP_LANGUAGES names: on Linux as
// a table in the program, on Windows as one string table per language in Setup.exe. English is
// always there, as the template words it. The language is chosen once per process, from the
// user's interface languages in their order of preference: each one's full tag, then its
// language alone; the first that a built-in catalogue has wins, English when none does.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "texts_ids.h"

// The text in the chosen language with its values filled in: "%s" takes the values in order,
// "%1$s", "%2$s", ... by number (a translation may reorder them), "%%" is a percent sign.
// Anything else is kept as it stands; nothing is read beyond the values given.
std::wstring Text(TextId id, std::initializer_list<std::wstring_view> values = {});

// The tag of the chosen catalogue ("de", "pt_BR"), or "en".
std::string TextLanguage();

// The portable rules, exposed for tests.
std::wstring FillValues(std::wstring_view pattern, std::initializer_list<std::wstring_view> values);
// The catalogue (an index into catalogues) for the user's languages, -1 for English. Tags are
// compared without case, with "-" and "_" alike, and without a ".codeset" or "@modifier"
// ("de_DE.UTF-8" is "de_DE"); "C" and "POSIX" name no language and are passed over; "en" wins
// English outright; Chinese written in the simplified script ("zh-Hans", "zh-SG") is "zh_CN".
int ChooseCatalogue(const std::vector<std::string>& preferred, const std::vector<std::string>& catalogues);
// The user's languages as gettext reads them from the environment (getValue stands for getenv):
// the locale of messages is LC_ALL, else LC_MESSAGES, else LANG; when it names a language (not
// "C" or "POSIX"), LANGUAGE's colon-separated list comes first.
std::vector<std::string> LanguagesFromEnvironment(const char* (*getValue)(const char*));

// Tests choose the language themselves ("en" for English); an empty tag goes back to the user's.
void SetTextLanguageForTesting(const std::string& tag);
