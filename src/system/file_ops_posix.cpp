// File operations on Linux. Folders the bootstrapper creates are private (mode 0700), and
// nothing here writes or deletes through a symbolic link: /tmp is shared between users.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "system/file_ops.h"
#include "system/folder_chain.h"
#include "system/path.h"
#include "system/text.h"

namespace {
std::string Native(const std::wstring& path) { return ToUtf8(path); }

bool LinkStatus(const std::string& path, struct stat& st) { return ::lstat(path.c_str(), &st) == 0; }

// Moves without ever replacing an existing entry (rename(2) alone would replace it).
bool MoveNoReplace(const std::string& source, const std::string& destination) {
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without RENAME_NOREPLACE: link(2) fails atomically when the target exists.
  if (::link(source.c_str(), destination.c_str()) == 0) return ::unlink(source.c_str()) == 0;
  struct stat st {};
  if (errno == EEXIST || LinkStatus(destination, st)) return false;
  return ::rename(source.c_str(), destination.c_str()) == 0;
}

bool CopyContents(int from, int to) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(to, buffer + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      done += w;
    }
  }
}
}  // namespace

bool FileExists(const std::wstring& path) {
  struct stat st {};
  return LinkStatus(Native(path), st);
}

bool RenameInFolder(const std::wstring& folder, const std::wstring& oldName, const std::wstring& newName) {
  return MoveNoReplace(Native(JoinPath(folder, oldName)), Native(JoinPath(folder, newName)));
}

bool DeleteFileInFolder(const std::wstring& folder, const std::wstring& name) {
  const std::string path = Native(JoinPath(folder, name));
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  struct stat st {};
  if (LinkStatus(path, st) && S_ISREG(st.st_mode)) ::chmod(path.c_str(), st.st_mode | S_IWUSR);
  return ::unlink(path.c_str()) == 0;
}

bool CreateFolderChain(const std::wstring& path) {
  for (const std::wstring& level : PosixFolderChainLevels(path)) {
    // Private from the first level on: the chain usually grows inside a shared /tmp.
    if (::mkdir(Native(level).c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool DeleteFolder(const std::wstring& folder, IClock& clock) {
  const std::string path = Native(folder);
  // O_NOFOLLOW: a folder that has been replaced by a link is not emptied through it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    if (DIR* dir = ::fdopendir(fd)) {
      while (const dirent* entry = ::readdir(dir)) {
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode)) {
          ::unlinkat(fd, entry->d_name, 0);
        }
      }
      ::closedir(dir);
    } else {
      ::close(fd);
    }
  }
  for (int attempt = 1;; ++attempt) {
    if (::rmdir(path.c_str()) == 0) return true;
    if (attempt == kFolderRemovalAttempts) return false;
    clock.Sleep(kFolderRemovalPauseMs);
  }
}

bool CopyFileToFolder(const std::wstring& source, const std::wstring& folder) {
  std::wstring sourceFolder, name;
  SplitPath(source, sourceFolder, name);
  const std::string destination = Native(folder + L"/" + name);
  // O_NONBLOCK: a named pipe among the files to copy must not stop the run; it is then
  // refused as not being a regular file.
  const int from = ::open(Native(source).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (from < 0) return false;
  struct stat st {};
  bool ok = ::fstat(from, &st) == 0 && S_ISREG(st.st_mode);
  struct stat old {};
  // A read-only earlier copy is replaced; a link in its place is removed, never written through.
  if (ok && LinkStatus(destination, old)) {
    if (S_ISLNK(old.st_mode))
      ::unlink(destination.c_str());
    else
      ::chmod(destination.c_str(), old.st_mode | S_IWUSR);
  }
  const int to = ok ? ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600) : -1;
  ok = to >= 0 && CopyContents(from, to) && ::fchmod(to, st.st_mode & 0777) == 0;
  if (to >= 0 && ::close(to) != 0) ok = false;
  ::close(from);
  return ok;
}

std::vector<CFolderEntry> ListFolder(const std::wstring& folder) {
  std::vector<CFolderEntry> entries;
  DIR* dir = ::opendir(Native(folder).c_str());
  if (dir == nullptr) return entries;
  const int fd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    struct stat st {};
    const bool isDirectory = ::fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    entries.push_back({FromUtf8(entry->d_name), isDirectory});
  }
  ::closedir(dir);
  return entries;
}

CFolderControl ReadFolderControl(const std::wstring& path) {
  CFolderControl control;
  struct stat st {};
  if (!LinkStatus(Native(path), st)) return control;
  control.isFolder = S_ISDIR(st.st_mode);  // of the entry itself: a link is no folder
  control.ownerTrusted = st.st_uid == ::geteuid();
  control.othersMayWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  return control;
}
