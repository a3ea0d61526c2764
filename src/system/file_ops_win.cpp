// File operations on Windows, over the Win32 file calls.
#include <windows.h>

#include "system/file_ops.h"
#include "system/folder_chain.h"
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

bool CreateFolderChain(const std::wstring& path) {
  for (const std::wstring& level : WindowsFolderChainLevels(path)) {
    if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
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

std::vector<CFolderEntry> ListFolder(const std::wstring& folder) {
  std::vector<CFolderEntry> entries;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(JoinPath(folder, L"*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    entries.push_back({data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return entries;
}
