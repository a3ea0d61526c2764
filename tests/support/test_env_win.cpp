// Environment helpers for tests on Windows.
#include <windows.h>

#include <cstdlib>

#include "support/test_support.h"
#include "system/text.h"

namespace {
std::wstring Wide(const std::string& name) { return std::wstring(name.begin(), name.end()); }
}  // namespace

CScopedEnv::CScopedEnv(const std::string& name, const std::wstring& value) : m_name(name) {
  wchar_t buffer[32768];
  const DWORD n = GetEnvironmentVariableW(Wide(name).c_str(), buffer, 32768);
  if (n > 0 && n < 32768) {
    m_had = true;
    m_old.assign(buffer, n);
  }
  SetEnvironmentVariableW(Wide(name).c_str(), value.empty() ? nullptr : value.c_str());
}

CScopedEnv::~CScopedEnv() { SetEnvironmentVariableW(Wide(m_name).c_str(), m_had ? m_old.c_str() : nullptr); }

CScopedTempFolderEnv::CScopedTempFolderEnv(const std::wstring& folder) {
  m_vars.push_back(std::make_unique<CScopedEnv>("TMP", folder));
  m_vars.push_back(std::make_unique<CScopedEnv>("TEMP", folder));
}

bool MakeSymlink(const std::wstring&, const std::wstring&) { return false; }

bool MakeNamedPipe(const std::wstring&) { return false; }

bool GiveToAnotherUser(const std::wstring&) { return false; }

std::wstring BuildPathForTesting(const std::string& hostPath) {
  std::wstring path = FromUtf8(hostPath);
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  return hostPath.rfind('/', 0) == 0 ? L"Z:" + path : path;
}
