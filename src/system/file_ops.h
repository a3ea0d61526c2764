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
// Creates every missing level of path in turn; true when each level exists afterwards. A level
// made here is private to the user (Linux: mode 0700; Windows: a protected DACL that allows the
// user, SYSTEM and Administrators, inherited by what it will hold).
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

// Who controls a folder, as the platform tells it.
struct CFolderControl {
  // A folder itself: not a link, junction or other reparse point to one, and not a file.
  bool isFolder = false;
  // Owned by the user the run is (on Windows also by SYSTEM or Administrators, who may do
  // anything anyway).
  bool ownerTrusted = false;
  // Somebody else may create, rename or delete its entries, or change it: on Linux write
  // permission for group or others; on Windows an allowing ACE beyond reading for anyone but
  // the owners above (CREATOR OWNER counts as them), or no DACL at all.
  bool othersMayWrite = true;
};
CFolderControl ReadFolderControl(const std::wstring& path);

// True when path is a folder that only this user (and the system) controls, by the one rule
// both platforms share: a folder itself, with a trusted owner, that nobody else may write.
// Whatever lies in it can then not be swapped between its check and its use.
bool IsPrivateFolder(const std::wstring& path);

// Pause between two attempts to remove a folder that is still in use.
inline constexpr unsigned kFolderRemovalPauseMs = 1000;
// Attempts to remove a folder before giving up.
inline constexpr int kFolderRemovalAttempts = 3;
