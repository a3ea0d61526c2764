// Setup name and setup temp folder of a run.
#include "app/run_names.h"

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

std::wstring FormatInstallTime(std::int64_t utcSeconds) { return FormatUtcTime(utcSeconds); }

bool CreateSetupTempFolder(const std::wstring& setupTempFolder) {
  if (!CreateFolderChain(setupTempFolder)) return false;
  std::wstring parent, name;
  SplitPath(StripTrailingSeparator(setupTempFolder), parent, name);
  return IsPrivateFolder(StripTrailingSeparator(parent)) && IsPrivateFolder(setupTempFolder);
}
