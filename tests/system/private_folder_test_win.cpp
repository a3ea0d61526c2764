// The DACL a folder of the setup temp folder chain gets on Windows, read back.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/test_support.h"
#include "system/file_ops.h"
#include "system/private_folder_win.h"

namespace {
std::wstring SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return L"?";
  std::wstring result(text);
  LocalFree(text);
  return result;
}

std::wstring UserSidText() {
  HANDLE token = nullptr;
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  std::wstring text;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
      text = SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    }
    CloseHandle(token);
  }
  return text;
}
bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }
}  // namespace

// Catches a private folder's security with an ACE for anyone else, one its files would not
// inherit, the parent's ACEs let through, or another owner.
TEST(PrivateFolderTest, SecurityOfAMadeFolderIsTheThreeTrustedSidsOnly) {
  CPrivateFolderSecurity security;
  ASSERT_NE(security.Attributes(), nullptr);
  LPWSTR text = nullptr;
  ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
      security.Attributes()->lpSecurityDescriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
      &text, nullptr));
  const std::wstring sddl(text);
  LocalFree(text);
  const std::wstring user = UserSidText();
  EXPECT_EQ(sddl, L"O:" + user + L"D:P(A;OICI;FA;;;" + user + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
}

// Catches a folder made with the parent's inherited DACL (in SYSTEM's or an older system's shared
// temp folder, every local user's write access with it), an ACE for anyone else, or ACEs that
// the files downloaded into it would not inherit.
TEST(PrivateFolderTest, MadeFoldersAllowTheUserSystemAndAdministratorsOnly) {
  CTempFolder temp;
  const std::wstring folder = temp / L"Orvel's Projects\\MyAppSetup";
  ASSERT_TRUE(CreateFolderChain(folder));
  for (const std::wstring& level : {temp / L"Orvel's Projects", folder}) {
    SCOPED_TRACE(level);
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(level.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                    &owner, nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    if ((control & SE_DACL_PROTECTED) == 0 && UnderWine()) {
      GTEST_SKIP() << "wine keeps no DACL on a file, only the Unix mode it maps one to";
    }
    EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "the parent's ACEs would be inherited";
    EXPECT_EQ(SidText(owner), UserSidText());
    ASSERT_NE(dacl, nullptr);
    std::set<std::wstring> sids;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
      ACE_HEADER* header = nullptr;
      ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&header)));
      ASSERT_EQ(header->AceType, ACCESS_ALLOWED_ACE_TYPE);
      auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
      EXPECT_EQ(header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
      EXPECT_EQ(ace->Mask & FILE_ALL_ACCESS, static_cast<DWORD>(FILE_ALL_ACCESS));
      sids.insert(SidText(&ace->SidStart));
    }
    EXPECT_EQ(sids, (std::set<std::wstring>{UserSidText(), L"S-1-5-18", L"S-1-5-32-544"}));
    LocalFree(descriptor);
    EXPECT_TRUE(IsPrivateFolder(level));
  }
}
