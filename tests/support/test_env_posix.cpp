// Environment helpers for tests on Linux.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/test_support.h"
#include "system/text.h"

CScopedEnv::CScopedEnv(const std::string& name, const std::wstring& value) : m_name(name) {
  if (const char* old = ::getenv(name.c_str())) {
    m_had = true;
    m_old = FromUtf8(old);
  }
  if (value.empty()) ::unsetenv(name.c_str());
  else ::setenv(name.c_str(), ToUtf8(value).c_str(), 1);
}

CScopedEnv::~CScopedEnv() {
  if (m_had) ::setenv(m_name.c_str(), ToUtf8(m_old).c_str(), 1);
  else ::unsetenv(m_name.c_str());
}

CScopedTempFolderEnv::CScopedTempFolderEnv(const std::wstring& folder) {
  m_vars.push_back(std::make_unique<CScopedEnv>("TMPDIR", folder));
}

bool MakeSymlink(const std::wstring& target, const std::wstring& link) {
  std::error_code ec;
  std::filesystem::create_symlink(std::filesystem::path(target), std::filesystem::path(link), ec);
  return !ec;
}

bool MakeNamedPipe(const std::wstring& path) { return ::mkfifo(ToUtf8(path).c_str(), 0600) == 0; }

bool GiveToAnotherUser(const std::wstring& path) {
  constexpr uid_t kNobody = 65534;
  return ::geteuid() == 0 && ::chown(ToUtf8(path).c_str(), kNobody, kNobody) == 0;
}

bool LetEverybodyWrite(const std::wstring& path) { return ::chmod(ToUtf8(path).c_str(), 0777) == 0; }

bool KeepToOwner(const std::wstring& path) { return ::chmod(ToUtf8(path).c_str(), 0700) == 0; }

std::wstring BuildPathForTesting(const std::string& hostPath) { return FromUtf8(hostPath); }
