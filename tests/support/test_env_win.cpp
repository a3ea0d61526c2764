// Environment helpers for tests on Windows.
#include <windows.h>
#include <aclapi.h>

#include <cstdlib>
#include <vector>

#include "support/test_support.h"
#include "system/text.h"

namespace {
std::wstring Wide(const std::string& name) { return std::wstring(name.begin(), name.end()); }

std::vector<BYTE> WellKnownSid(WELL_KNOWN_SID_TYPE type) {
  std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
  DWORD size = SECURITY_MAX_SID_SIZE;
  if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) sid.clear();
  return sid;
}

std::vector<BYTE> UserSid() {
  std::vector<BYTE> sid;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return sid;
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
    PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    sid.assign(static_cast<BYTE*>(user), static_cast<BYTE*>(user) + GetLengthSid(user));
  }
  CloseHandle(token);
  return sid;
}

// Sets path's DACL to one ACE allowing everything to sid, inherited by what it holds.
bool SetOnlyAce(const std::wstring& path, std::vector<BYTE> sid, bool keepInherited) {
  if (sid.empty()) return false;
  EXPLICIT_ACCESSW access{};
  access.grfAccessPermissions = GENERIC_ALL;
  access.grfAccessMode = SET_ACCESS;
  access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.ptstrName = reinterpret_cast<LPWSTR>(sid.data());
  PACL acl = nullptr;
  if (SetEntriesInAclW(1, &access, nullptr, &acl) != ERROR_SUCCESS) return false;
  const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION |
                                    (keepInherited ? UNPROTECTED_DACL_SECURITY_INFORMATION : PROTECTED_DACL_SECURITY_INFORMATION);
  const DWORD result = SetNamedSecurityInfoW(const_cast<LPWSTR>(path.c_str()), SE_FILE_OBJECT, what, nullptr, nullptr,
                                             acl, nullptr);
  LocalFree(acl);
  return result == ERROR_SUCCESS;
}
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

bool GiveToAnotherUser(const std::wstring& path) {
  std::vector<BYTE> guests = WellKnownSid(WinBuiltinGuestsSid);
  if (guests.empty() || SetNamedSecurityInfoW(const_cast<LPWSTR>(path.c_str()), SE_FILE_OBJECT,
                                              OWNER_SECURITY_INFORMATION, guests.data(), nullptr, nullptr,
                                              nullptr) != ERROR_SUCCESS) {
    return false;
  }
  // Wine answers success but keeps the owner it derives from the Unix one.
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool given = EqualSid(owner, guests.data()) != 0;
  LocalFree(descriptor);
  return given;
}

bool LetEverybodyWrite(const std::wstring& path) { return SetOnlyAce(path, WellKnownSid(WinWorldSid), true); }

bool KeepToOwner(const std::wstring& path) { return SetOnlyAce(path, UserSid(), false); }

std::wstring BuildPathForTesting(const std::string& hostPath) {
  std::wstring path = FromUtf8(hostPath);
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  return hostPath.rfind('/', 0) == 0 ? L"Z:" + path : path;
}
