// The run lock on Linux: flock on a file in the private folder of the setup temp folders.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "system/file_ops.h"
#include "system/path.h"
#include "system/run_lock.h"
#include "system/text.h"

CRunLock::Result CRunLock::Take(const std::wstring& folder, const std::wstring& name) {
  Release();
  // A folder someone else controls could hold a link where the lock file should be.
  if (!IsPrivateFolder(folder)) return Result::Unavailable;
  const int fd =
      ::open(ToUtf8(JoinPath(folder, name + L".lock")).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return Result::Unavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? Result::HeldElsewhere : Result::Unavailable;
  }
  m_handle = fd;
  return Result::Taken;
}

// The file stays: removing it would let a run that opened it just before lock a file nobody
// else can find any more.
void CRunLock::Release() {
  if (m_handle >= 0) ::close(static_cast<int>(m_handle));
  m_handle = -1;
}
