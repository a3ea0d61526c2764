// The process-wide program folder (see program_folder.h).
#include "system/program_folder.h"

#include "system/text.h"
#include "websetup_config.h"

namespace {
std::wstring g_programFolder;
}  // namespace

void SetProgramFolder(const std::wstring& path) {
  const std::wstring folder = kFileNamesIgnoreCase ? LowerCase(path) : path;
  const auto last = folder.find_last_of(kPathSeparator);
  g_programFolder = last == std::wstring::npos ? std::wstring(1, kPathSeparator) : folder.substr(0, last + 1);
}

std::wstring GetProgramFolder() { return g_programFolder; }
