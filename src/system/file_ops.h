// Every change the bootstrapper makes to the file system. Each operation reports success as a
// boolean and shows nothing; callers decide what a failure means.
#pragma once

#include <string>
#include <vector>

#include "system/clock.h"

// True when a file or folder of that path exists.
bool FileExists(const std::wstring& path);
// Moves folder/oldName to folder/newName; fails when newName exists already.
bool RenameInFolder(const std::wstring& folder, const std::wstring& oldName, const std::wstring& newName);
// True when folder/name is gone afterwards (also when it never existed); a read-only file is
// made writable and removed on a second try.
bool DeleteFileInFolder(const std::wstring& folder, const std::wstring& name);
// Creates every missing level of path in turn; true when each level exists afterwards.
bool CreateFolderChain(const std::wstring& path);
// Deletes the files directly inside folder (not its subfolders; links are removed as links),
// then removes the folder, with up to three attempts 1000 ms apart. True when it is gone.
bool DeleteFolder(const std::wstring& folder, IClock& clock = RealClock());
// Copies source to folder + separator + its file name, replacing a read-only earlier copy.
bool CopyFileToFolder(const std::wstring& source, const std::wstring& folder);

// One entry of a folder listing. Links count as what they point to.
struct CFolderEntry {
  std::wstring name;
  bool isDirectory = false;
};
// Every entry of folder, the current-folder and parent-folder entries included (as
// directories); empty when the folder cannot be listed.
std::vector<CFolderEntry> ListFolder(const std::wstring& folder);

// True when path is a folder that only this user controls: on Linux not a symbolic link,
// owned by the user and not writable by group or others (always true on Windows, where the
// user's temporary folder is private already).
bool IsPrivateFolder(const std::wstring& path);

// Pause between two attempts to remove a folder that is still in use.
inline constexpr unsigned kFolderRemovalPauseMs = 1000;
// Attempts to remove a folder before giving up.
inline constexpr int kFolderRemovalAttempts = 3;
