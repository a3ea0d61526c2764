// Setup name and setup temp folder of a run.
#include "app/run_names.h"

#include <cstdint>

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

namespace {
// value in decimal, zero-padded to width characters as printf's "%0*d" does (a sign counts);
// written here because the formatted-print family would add its whole engine to Setup.exe.
void AppendPadded(std::wstring& text, std::int64_t value, std::size_t width) {
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::wstring digits;
  do {
    digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  const std::size_t signWidth = value < 0 ? 1 : 0;
  if (value < 0) text += L'-';
  if (digits.size() + signWidth < width) text.append(width - digits.size() - signWidth, L'0');
  text += digits;
}
}  // namespace

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
  // "dd-mm-yyyy hh:mm:ss"
  std::wstring text;
  const std::int64_t fields[] = {day, month, year, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60};
  const wchar_t separators[] = L" -- ::";
  for (std::size_t i = 0; i < 6; ++i) {
    if (i > 0) text += separators[i];
    AppendPadded(text, fields[i], i == 2 ? 4 : 2);
  }
  return text;
}

bool CreateSetupTempFolder(const std::wstring& setupTempFolder) {
  if (!CreateFolderChain(setupTempFolder)) return false;
  std::wstring parent, name;
  SplitPath(StripTrailingSeparator(setupTempFolder), parent, name);
  return IsPrivateFolder(StripTrailingSeparator(parent)) && IsPrivateFolder(setupTempFolder);
}
