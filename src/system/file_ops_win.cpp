// File operations on Windows, over the Win32 file calls.
#include <windows.h>

#include "system/file_ops.h"
#include "system/path.h"

bool FileExists(const std::wstring& path) {
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

bool RenameInFolder(const std::wstring& folder, const std::wstring& oldName, const std::wstring& newName) {
  const std::wstring source = JoinPath(folder, oldName);
  // The full source path, so that a read-only mark on the entry itself is cleared.
  SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
  return MoveFileW(source.c_str(), JoinPath(folder, newName).c_str()) != 0;
}

bool DeleteFileInFolder(const std::wstring& folder, const std::wstring& name) {
  const std::wstring path = JoinPath(folder, name);
  if (DeleteFileW(path.c_str())) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path.c_str()) != 0;
}

namespace {
// Where the level search starts: a network path \\server\share\... makes \\server\share the
// first level; a path from the root of the drive, \a\b, makes \a\b the first level.
std::size_t FirstLevelSearchStart(const std::wstring& path, std::size_t firstSeparator) {
  if (firstSeparator != 0) return firstSeparator;
  if (path.size() > 1 && path[1] == L'\\') {
    const auto share = path.find(L'\\', 3);
    return share == std::wstring::npos ? path.size() : share;
  }
  return path.find(L'\\', 1) == std::wstring::npos ? path.size() : path.find(L'\\', 1);
}
}  // namespace

bool CreateFolderChain(const std::wstring& path) {
  std::size_t i = path.find(L'\\');
  if (i == std::wstring::npos) return true;
  i = FirstLevelSearchStart(path, i);
  while (i < path.size()) {
    i = path.find(L'\\', i + 1);
    if (i == std::wstring::npos) i = path.size();
    if (!CreateDirectoryW(path.substr(0, i).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      return false;
    }
  }
  return true;
}

bool DeleteFolder(const std::wstring& folder, IClock& clock) {
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((folder + L"\\*.*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) DeleteFileInFolder(folder, data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  for (int attempt = 1;; ++attempt) {
    if (RemoveDirectoryW(folder.c_str())) return true;
    if (attempt == kFolderRemovalAttempts) return false;
    clock.Sleep(kFolderRemovalPauseMs);
  }
}

bool CopyFileToFolder(const std::wstring& source, const std::wstring& folder) {
  const auto slash = source.find_last_of(L'\\');
  const std::wstring name = slash == std::wstring::npos ? source : source.substr(slash + 1);
  const std::wstring destination = folder + L"\\" + name;
  SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
  return CopyFileW(source.c_str(), destination.c_str(), FALSE) != 0;
}

bool IsPrivateFolder(const std::wstring&) { return true; }
