// The security a folder of the setup temp folder chain gets on Windows, as built and as read back.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"
#include "system/file_ops.h"
#include "system/private_folder_win.h"

namespace {
std::wstring Sddl(PSECURITY_DESCRIPTOR descriptor) {
  LPWSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return L"?";
  }
  std::wstring result(text);
  LocalFree(text);
  return result;
}

// Owned by the user; the user, SYSTEM and Administrators allowed everything, inherited by files
// and folders; protected from the parent's ACEs.
std::wstring PrivateSddl() {
  LPWSTR user = nullptr;
  CTrustedSids sids;
  if (!sids.valid || !ConvertSidToStringSidW(sids.user, &user)) return L"?";
  const std::wstring text = user;
  LocalFree(user);
  return L"O:" + text + L"D:P(A;OICI;FA;;;" + text + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }
}  // namespace

// Catches an ACE for anyone else, one the downloaded files would not inherit, the parent's ACEs
// let through (in SYSTEM's or an older system's shared temp folder, every local user's write
// access with them), or another owner: in the security built, and in the folders made with it.
TEST(PrivateFolderTest, SecurityBuiltAllowsTheUserSystemAndAdministratorsOnly) {
  CPrivateFolderSecurity security;
  ASSERT_NE(security.Attributes(), nullptr);
  EXPECT_EQ(Sddl(security.Attributes()->lpSecurityDescriptor), PrivateSddl());
}

TEST(PrivateFolderTest, MadeFoldersCarryThatSecurity) {
  CTempFolder temp;
  const std::wstring projects = temp / L"Orvel's Projects", folder = projects + L"\\MyAppSetup";
  ASSERT_TRUE(CreateFolderChain(folder));
  for (const std::wstring& level : {projects, folder}) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(level.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, nullptr, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    const std::wstring sddl = Sddl(descriptor);
    LocalFree(descriptor);
    EXPECT_TRUE(IsPrivateFolder(level)) << sddl;
    if (sddl.find(L"D:P") == std::wstring::npos && UnderWine()) {
      GTEST_SKIP() << "wine keeps no DACL on a file, only the Unix mode it maps one to: " << sddl;
    }
    EXPECT_EQ(sddl, PrivateSddl()) << level;
  }
}
