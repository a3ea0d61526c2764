// The run lock on Linux: flock on a file in the private folder of the setup temp folders, removed
// again by the run that held it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "system/file_ops.h"
#include "system/path.h"
#include "system/run_lock.h"
#include "system/text.h"

namespace {
// Opening the file races with a holder that removes it as it ends; a few tries settle that.
constexpr int kLockTries = 3;

// True when fd is still the file at path: a lock taken on a file its holder removed meanwhile
// is no lock, since the next run makes a new file and locks that one.
bool StillThere(int fd, const std::string& path) {
  struct stat held {
  }, named{};
  return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}
}  // namespace

CRunLock::Result CRunLock::Take(const std::wstring& folder, const std::wstring& name) {
  Release();
  // A folder someone else controls could hold a link where the lock file should be.
  if (!IsPrivateFolder(folder)) return Result::Unavailable;
  const std::string path = ToUtf8(JoinPath(folder, name + L".lock"));
  for (int tries = 0; tries < kLockTries; ++tries) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return Result::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const bool held = errno == EWOULDBLOCK;
      ::close(fd);
      return held ? Result::HeldElsewhere : Result::Unavailable;
    }
    if (StillThere(fd, path)) {
      m_handle = fd;
      m_path = path;
      return Result::Taken;
    }
    ::close(fd);
  }
  return Result::Unavailable;
}

// Removed while still locked, so no other run can hold the file that goes; a run that opened
// it just before finds it gone once it has the lock, and tries again.
void CRunLock::Release() {
  if (m_handle < 0) return;
  ::unlink(m_path.c_str());
  ::close(static_cast<int>(m_handle));
  m_handle = -1;
}
