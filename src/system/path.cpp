// Path joining and splitting shared by the run, the description and the download worker.
#include "system/path.h"

#include "websetup_config.h"

bool IsPathSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

void SplitPath(const std::wstring& path, std::wstring& folder, std::wstring& name) {
  std::wstring normal = path;
  for (auto& c : normal) {
    if (IsPathSeparator(c)) c = kPathSeparator;
  }
  const auto last = normal.find_last_of(kPathSeparator);
  if (last == std::wstring::npos) {
    folder.clear();
    name = path;
    return;
  }
  folder = normal.substr(0, last + 1);
  name = path.substr(last + 1);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (!folder.empty() && IsPathSeparator(folder.back())) return folder + name;
  return folder + kPathSeparator + name;
}

std::wstring StripTrailingSeparator(std::wstring path) {
  if (!path.empty() && IsPathSeparator(path.back())) path.pop_back();
  return path;
}
