// A new key file on Linux, created with O_EXCL so no existing file is replaced; a private one
// with mode 0600 from the start, so no other user can open it in the moment before a chmod.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "eif_private_file.h"
#include "system/folders.h"
#include "system/text.h"

bool WriteNewKeyFile(const std::wstring& path, std::string_view bytes, KeyFileReaders readers, std::string& error) {
  const std::string name = ToUtf8(path);
  const mode_t mode = readers == KeyFileReaders::OwnerOnly ? S_IRUSR | S_IWUSR : S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    error = name + (errno == EEXIST ? " exists already; eiftool never replaces a key file"
                                    : ": " + std::string(std::strerror(errno)));
    return false;
  }
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  const bool closed = ::close(fd) == 0;
  if (left == 0 && closed) return true;
  ::unlink(name.c_str());
  error = "cannot write " + name;
  return false;
}

std::wstring CreateScratchFolder(const std::wstring& prefix) {
  // mkdtemp makes the folder with mode 0700, or fails: it never takes one that exists.
  std::string pattern = ToUtf8(GetTempFolder() + L"/" + prefix) + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  return ::mkdtemp(name.data()) != nullptr ? FromUtf8(name.data()) : std::wstring();
}
