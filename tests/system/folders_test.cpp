// Well-known folders: trailing separators, environment mapping on Linux, creation rules.
#include "system/folders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"
#include "system/file_ops.h"
#include "system/path.h"
#include "websetup_config.h"

// Catches a temporary folder that keeps its trailing separator or is not absolute.
TEST(FoldersTest, TempFolderFollowsTheEnvironmentWithoutTrailingSeparator) {
  CTempFolder temp;
  CScopedTempFolderEnv env(temp.Path() + kPathSeparator);
  EXPECT_EQ(GetTempFolder(), temp.Path());
}

// Catches the Linux fallbacks for the temporary folder being taken in the wrong order.
TEST(FoldersTest, TempFolderFallsBackToRuntimeDirThenTmp) {
  if (kIsWindows) GTEST_SKIP() << "Linux mapping";
  CScopedEnv tmpdir("TMPDIR", L"");
  {
    CScopedEnv runtime("XDG_RUNTIME_DIR", L"/run/user/4242");
    EXPECT_EQ(GetTempFolder(), L"/run/user/4242");
  }
  CScopedEnv runtime("XDG_RUNTIME_DIR", L"");
  EXPECT_EQ(GetTempFolder(), L"/tmp");
}

// Catches user folders read wrongly from user-dirs.dirs, or created when they are missing.
TEST(FoldersTest, UserFoldersComeFromUserDirsAndAreNeverCreated) {
  if (kIsWindows) GTEST_SKIP() << "Linux mapping";
  CTempFolder home;
  CScopedEnv homeEnv("HOME", home.Path());
  CScopedEnv config("XDG_CONFIG_HOME", L"");
  EXPECT_EQ(GetDesktopFolder(), home / L"Desktop");
  EXPECT_EQ(GetMyDocumentsFolder(), home / L"Documents");
  EXPECT_FALSE(FileExists(home / L"Desktop"));

  std::filesystem::create_directories(std::filesystem::path(home / L".config"));
  WriteFileBytes(home / L".config/user-dirs.dirs",
                 "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                 "XDG_DOCUMENTS_DIR=\"/srv/docs/\"\n");
  EXPECT_EQ(GetDesktopFolder(), home / L"Schreibtisch");
  EXPECT_EQ(GetMyDocumentsFolder(), L"/srv/docs");
  EXPECT_FALSE(FileExists(home / L"Schreibtisch"));
}

// Catches a program-menu folder that is not created on first use.
TEST(FoldersTest, StartMenuFolderIsCreatedWhenMissing) {
  CTempFolder data;
  CScopedEnv dataEnv("XDG_DATA_HOME", data.Path());
  const std::wstring folder = GetStartMenuFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_FALSE(IsPathSeparator(folder.back()));
  EXPECT_TRUE(FileExists(folder));
  if (!kIsWindows) {
    EXPECT_EQ(folder, data / L"applications");
  }
}

// Catches folders with a trailing separator on the platform's own answers.
TEST(FoldersTest, EveryFolderLacksATrailingSeparator) {
  for (const std::wstring& folder : {GetProgramFilesFolder(), GetTempFolder(), GetDesktopFolder(),
                                     GetMyDocumentsFolder()}) {
    if (!folder.empty()) {
      EXPECT_FALSE(IsPathSeparator(folder.back()));
    }
  }
  if (!kIsWindows) {
    EXPECT_EQ(GetProgramFilesFolder(), L"/opt");
  }
}
