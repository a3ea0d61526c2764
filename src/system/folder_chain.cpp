// Folder levels of a chain for Windows and Linux paths (see folder_chain.h).
#include "system/folder_chain.h"

namespace {
constexpr auto npos = std::wstring::npos;

// Where the level search starts: past the server of a network path, past the first level of
// a path from the root of the drive, else at the first separator.
std::size_t WindowsSearchStart(const std::wstring& path, std::size_t first) {
  if (first != 0) return first;
  const std::size_t from = path.size() > 1 && path[1] == L'\\' ? 3 : 1;
  const std::size_t next = path.find(L'\\', from);
  return next == npos ? path.size() : next;
}
}  // namespace

std::vector<std::wstring> WindowsFolderChainLevels(const std::wstring& path) {
  std::vector<std::wstring> levels;
  std::size_t i = path.find(L'\\');
  if (i == npos) return levels;
  i = WindowsSearchStart(path, i);
  while (i < path.size()) {
    i = path.find(L'\\', i + 1);
    if (i == npos) i = path.size();
    levels.push_back(path.substr(0, i));
  }
  return levels;
}

std::vector<std::wstring> PosixFolderChainLevels(const std::wstring& path) {
  std::vector<std::wstring> levels;
  std::size_t i = path.find(L'/');
  while (i != npos && i < path.size()) {
    i = path.find(L'/', i + 1);
    if (i == npos) i = path.size();
    std::wstring level = path.substr(0, i);
    if (!level.empty() && level.back() != L'/') levels.push_back(std::move(level));
  }
  return levels;
}
