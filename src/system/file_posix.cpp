// CFile on Linux: open(2), read(2), write(2), fstat(2).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "system/file.h"
#include "system/text.h"

CFile::~CFile() { Close(); }

bool CFile::Open(const std::wstring& path, Mode mode) {
  Close();
  int flags = O_RDONLY;
  if (mode == Mode::CreateWrite) flags = O_WRONLY | O_CREAT | O_TRUNC;
  if (mode == Mode::Append) flags = O_WRONLY | O_APPEND;
  m_handle = ::open(ToUtf8(path).c_str(), flags | O_CLOEXEC, 0644);
  return m_handle >= 0;
}

bool CFile::IsOpen() const { return m_handle >= 0; }

std::int64_t CFile::Read(void* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(m_handle), buffer, size);
    if (n >= 0) return n;
    if (errno != EINTR) return -1;
  }
}

bool CFile::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(static_cast<int>(m_handle), bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::int64_t CFile::Length() const {
  struct stat st {};
  if (m_handle < 0 || ::fstat(static_cast<int>(m_handle), &st) != 0) return -1;
  return st.st_size;
}

void CFile::Close() {
  if (m_handle >= 0) ::close(static_cast<int>(m_handle));
  m_handle = -1;
}

bool CFile::GetStatus(const std::wstring& path, std::uint64_t& size) {
  struct stat st {};
  if (::stat(ToUtf8(path).c_str(), &st) != 0) return false;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}
