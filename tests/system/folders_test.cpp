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

// TMPDIR and XDG_RUNTIME_DIR as set ("" for unset) and the temporary folder they give.
struct CTempEnvCase {
  const char* name;
  const wchar_t* tmpdir;
  const wchar_t* runtimeDir;
  const wchar_t* expected;
};

class TempFolderEnvTest : public ::testing::TestWithParam<CTempEnvCase> {};

// Catches the Linux fallbacks taken in the wrong order (the runtime folder winning over
// TMPDIR), or a relative TMPDIR taken, which put the setup temp folder at the root.
TEST_P(TempFolderEnvTest, TmpdirThenRuntimeDirThenTmp) {
  if (kIsWindows) GTEST_SKIP() << "Linux mapping";
  CScopedEnv tmpdir("TMPDIR", GetParam().tmpdir);
  CScopedEnv runtime("XDG_RUNTIME_DIR", GetParam().runtimeDir);
  EXPECT_EQ(GetTempFolder(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Settings, TempFolderEnvTest,
                         ::testing::Values(CTempEnvCase{"Both", L"/var/tmp/x/", L"/run/user/4242", L"/var/tmp/x"},
                                           CTempEnvCase{"RuntimeDirOnly", L"", L"/run/user/4242", L"/run/user/4242"},
                                           CTempEnvCase{"RelativeTmpdir", L"tmp", L"/run/user/4242", L"/run/user/4242"},
                                           CTempEnvCase{"Neither", L"", L"", L"/tmp"}),
                         [](const auto& info) { return std::string(info.param.name); });

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
  for (const std::wstring& folder :
       {GetProgramFilesFolder(), GetTempFolder(), GetDesktopFolder(), GetMyDocumentsFolder()}) {
    if (!folder.empty()) {
      EXPECT_FALSE(IsPathSeparator(folder.back()));
    }
  }
  if (!kIsWindows) {
    EXPECT_EQ(GetProgramFilesFolder(), L"/opt");
  }
}
