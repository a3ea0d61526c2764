// File operations on Windows, over the Win32 file calls.
#include <windows.h>
#include <aclapi.h>

#include "system/file_ops.h"
#include "system/folder_chain.h"
#include "system/path.h"
#include "system/private_folder_win.h"

bool FileExists(const std::wstring& path) {
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

bool RenameInFolder(const std::wstring& folder, const std::wstring& oldName, const std::wstring& newName) {
  const std::wstring source = JoinPath(folder, oldName);
  // The full source path, so that a read-only mark on the entry itself is cleared.
  SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
  return MoveFileW(source.c_str(), JoinPath(folder, newName).c_str()) != 0;
}

bool DeleteFileInFolder(const std::wstring& folder, const std::wstring& name) {
  const std::wstring path = JoinPath(folder, name);
  if (DeleteFileW(path.c_str())) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path.c_str()) != 0;
}

CTrustedSids::CTrustedSids() {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    DWORD size = 0;
    if (GetTokenInformation(token, TokenUser, userBuffer, sizeof userBuffer, &size)) {
      user = reinterpret_cast<TOKEN_USER*>(userBuffer)->User.Sid;
    }
    CloseHandle(token);
  }
  DWORD size = sizeof system;
  valid = user != nullptr && CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size);
  size = sizeof administrators;
  valid = valid && CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
  size = sizeof creatorOwner;
  valid = valid && CreateWellKnownSid(WinCreatorOwnerSid, nullptr, creatorOwner, &size);
}

bool CTrustedSids::Owns(PSID sid) {
  return EqualSid(sid, user) || EqualSid(sid, system) || EqualSid(sid, administrators);
}

CPrivateFolderSecurity::CPrivateFolderSecurity() {
  if (!m_sids.valid) return;
  PSID trusted[] = {m_sids.user, m_sids.system, m_sids.administrators};
  DWORD size = sizeof(ACL);
  for (PSID sid : trusted) size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
  m_acl.assign(size, 0);
  auto* acl = reinterpret_cast<ACL*>(m_acl.data());
  if (!InitializeAcl(acl, size, ACL_REVISION)) return;
  for (PSID sid : trusted) {
    if (!AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS, sid)) {
      return;
    }
  }
  m_valid = InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE) &&
            SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED) &&
            SetSecurityDescriptorOwner(&m_descriptor, m_sids.user, FALSE);
  m_attributes = {sizeof m_attributes, &m_descriptor, FALSE};
}

namespace {
// Rights that change nothing: reading and listing, running, waiting on the handle.
constexpr ACCESS_MASK kHarmlessRights = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | GENERIC_READ | GENERIC_EXECUTE;
}  // namespace

bool CreateFolderChain(const std::wstring& path) {
  // Private from the first level made on: for SYSTEM, or with an older system's answer, the
  // chain may grow in a temporary folder every local user may write.
  CPrivateFolderSecurity security;
  if (security.Attributes() == nullptr) return false;
  for (const std::wstring& level : WindowsFolderChainLevels(path)) {
    if (!CreateDirectoryW(level.c_str(), security.Attributes()) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return true;
}

CFolderControl ReadFolderControl(const std::wstring& path) {
  CFolderControl control;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  control.isFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                     (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  CTrustedSids sids;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!sids.valid || GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                                           &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return control;
  }
  control.ownerTrusted = owner != nullptr && sids.Owns(owner);
  // No DACL at all lets everybody do everything.
  bool othersMayWrite = dacl == nullptr;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount && !othersMayWrite; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) {
      othersMayWrite = true;
    } else if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
      auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
      PSID sid = &ace->SidStart;
      othersMayWrite = (ace->Mask & ~kHarmlessRights) != 0 && !sids.Owns(sid) &&
                       !EqualSid(sid, sids.creatorOwner);
    } else if (header->AceType != ACCESS_DENIED_ACE_TYPE && header->AceType != SYSTEM_AUDIT_ACE_TYPE) {
      othersMayWrite = true;  // an allowing ACE of a kind not read here counts against the folder
    }
  }
  control.othersMayWrite = othersMayWrite;
  LocalFree(descriptor);
  return control;
}

bool DeleteFolder(const std::wstring& folder, IClock& clock) {
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((folder + L"\\*.*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) DeleteFileInFolder(folder, data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  for (int attempt = 1;; ++attempt) {
    if (RemoveDirectoryW(folder.c_str())) return true;
    if (attempt == kFolderRemovalAttempts) return false;
    clock.Sleep(kFolderRemovalPauseMs);
  }
}

bool CopyFileToFolder(const std::wstring& source, const std::wstring& folder) {
  const auto slash = source.find_last_of(L'\\');
  const std::wstring name = slash == std::wstring::npos ? source : source.substr(slash + 1);
  const std::wstring destination = folder + L"\\" + name;
  SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
  return CopyFileW(source.c_str(), destination.c_str(), FALSE) != 0;
}

std::vector<CFolderEntry> ListFolder(const std::wstring& folder) {
  std::vector<CFolderEntry> entries;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(JoinPath(folder, L"*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    entries.push_back({data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return entries;
}
