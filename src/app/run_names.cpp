// Setup name and setup temp folder of a run.
#include "app/run_names.h"

#include <cwchar>

#include "system/file_ops.h"
#include "system/path.h"
#include "system/text.h"
#include "websetup_config.h"

std::wstring SetupNameFromFileName(const std::wstring& fileName) {
  const auto first = fileName.find(L'_');
  if (first == std::wstring::npos) return kDefaultSetupName;
  const auto second = fileName.find(L'_', first + 1);
  if (second == std::wstring::npos || second - first < 2) return kDefaultSetupName;
  return fileName.substr(first + 1, second - first - 1);
}

std::wstring SetupTempFolderFor(const std::wstring& tempFolder, const std::wstring& setupName) {
  return tempFolder + kPathSeparator + kProjectsFolderName + kPathSeparator + setupName + L"Setup";
}

// Days since 1970-01-01 to a civil date in the proleptic Gregorian calendar, by eras of 400
// years, so no platform's gmtime (absent or differently named on each) is needed.
std::wstring FormatInstallTime(std::int64_t utcSeconds) {
  constexpr std::int64_t kSecondsPerDay = 86400;
  std::int64_t days = utcSeconds / kSecondsPerDay;
  std::int64_t secondOfDay = utcSeconds % kSecondsPerDay;
  if (secondOfDay < 0) {
    secondOfDay += kSecondsPerDay;
    --days;
  }
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  wchar_t text[40];
  std::swprintf(text, sizeof text / sizeof text[0], L"%02d-%02d-%04d %02d:%02d:%02d", static_cast<int>(day),
                static_cast<int>(month), static_cast<int>(year), static_cast<int>(secondOfDay / 3600),
                static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
  return text;
}

bool CreateSetupTempFolder(const std::wstring& setupTempFolder) {
  if (!CreateFolderChain(setupTempFolder)) return false;
  std::wstring parent, name;
  SplitPath(StripTrailingSeparator(setupTempFolder), parent, name);
  return IsPrivateFolder(StripTrailingSeparator(parent)) && IsPrivateFolder(setupTempFolder);
}
