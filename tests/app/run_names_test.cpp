// Program folder, setup name and setup temp folder of a run.
#include "app/run_names.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"
#include "system/file_ops.h"
#include "websetup_config.h"

struct SetupNameCase {
  std::wstring fileName;
  std::wstring setupName;
};

class SetupNameTest : public ::testing::TestWithParam<SetupNameCase> {};

// Catches a setup name taken from the wrong underscores or with its case changed.
TEST_P(SetupNameTest, TakesTheTextBetweenTheFirstTwoUnderscores) {
  EXPECT_EQ(SetupNameFromFileName(GetParam().fileName), GetParam().setupName);
}

INSTANTIATE_TEST_SUITE_P(FileNames, SetupNameTest,
                         ::testing::Values(SetupNameCase{L"Setup_MyApp_.exe", L"MyApp"},
                                           SetupNameCase{L"Setup.exe", L"Local"},
                                           SetupNameCase{L"Setup_MyApp.exe", L"Local"},
                                           SetupNameCase{L"Setup__x.exe", L"Local"},
                                           SetupNameCase{L"Setup_My App_2_.exe", L"My App"},
                                           SetupNameCase{L"_A_", L"A"}, SetupNameCase{L"", L"Local"}));

// Catches a setup temp folder without the projects level or the "Setup" suffix.
TEST(RunNamesTest, SetupTempFolderLiesInTheProjectsFolder) {
  const std::wstring sep(1, kPathSeparator);
  EXPECT_EQ(SetupTempFolderFor(L"T", L"MyApp"), L"T" + sep + L"Orvel's Projects" + sep + L"MyAppSetup");
  // Without a temporary folder the path starts at the root.
  EXPECT_EQ(SetupTempFolderFor(L"", L"Local"), sep + L"Orvel's Projects" + sep + L"LocalSetup");
}

// Catches a log option matched in one case only, a file name taken from the wrong argument, an
// option without a file taken as one, or the variable winning over the command line.
TEST(RunNamesTest, SupportLogFromTheCommandLineOrTheVariable) {
  using Args = std::vector<std::wstring>;
  EXPECT_EQ(SupportLogPath(Args{L"/log", L"a.log"}, L"env.log"), L"a.log");
  EXPECT_EQ(SupportLogPath(Args{L"/x", L"/LOG", L"C:\\b c.log"}, L""), L"C:\\b c.log");
  EXPECT_EQ(SupportLogPath(Args{L"--log", L"c.log"}, L""), L"c.log");
  EXPECT_EQ(SupportLogPath(Args{L"/log"}, L"env.log"), L"env.log");
  EXPECT_EQ(SupportLogPath(Args{L"log", L"d.log"}, L""), L"");
  EXPECT_EQ(SupportLogPath(Args{}, L""), L"");
}

// Catches a program folder without its trailing separator, or lower-cased where names keep case.
TEST(RunNamesTest, ProgramFolderKeepsTheFolderPartWithItsSeparator) {
  if (kIsWindows) {
    SetProgramFolder(L"C:\\Downloads\\Setup_MyApp_.exe");
    EXPECT_EQ(GetProgramFolder(), L"c:\\downloads\\");
  } else {
    SetProgramFolder(L"/home/User/Downloads/Setup_MyApp_");
    EXPECT_EQ(GetProgramFolder(), L"/home/User/Downloads/");
  }
  SetProgramFolder(L"Setup.exe");
  EXPECT_EQ(GetProgramFolder(), std::wstring(1, kPathSeparator));
}

class SetupTempFolderTest : public ::testing::Test {
 protected:
  std::wstring Projects() const { return m_temp / L"Orvel's Projects"; }
  std::wstring SetupFolder() const { return Projects() + kPathSeparator + L"LocalSetup"; }
  CTempFolder m_temp;
};

// Catches a setup temp folder that is not created with its parents.
TEST_F(SetupTempFolderTest, CreatesTheFolderAndItsParents) {
  EXPECT_TRUE(CreateSetupTempFolder(SetupFolder()));
  EXPECT_TRUE(FileExists(SetupFolder()));
  EXPECT_TRUE(CreateSetupTempFolder(SetupFolder()));  // an own leftover is fine
}

// Catches a planted projects folder or setup folder being accepted in a shared /tmp.
TEST_F(SetupTempFolderTest, RefusesFoldersSomebodyElseControls) {
  if (kIsWindows) GTEST_SKIP() << "the user's temporary folder is private on Windows";
  namespace fs = std::filesystem;
  const std::wstring elsewhere = m_temp / L"elsewhere";
  fs::create_directories(fs::path(elsewhere));
  ASSERT_TRUE(MakeSymlink(elsewhere, Projects()));
  EXPECT_FALSE(CreateSetupTempFolder(SetupFolder()));
  fs::remove(fs::path(Projects()));

  fs::create_directories(fs::path(SetupFolder()));
  fs::permissions(fs::path(Projects()), fs::perms::all);  // writable by everybody
  EXPECT_FALSE(CreateSetupTempFolder(SetupFolder()));
  fs::permissions(fs::path(Projects()), fs::perms::owner_all, fs::perm_options::replace);
  EXPECT_TRUE(CreateSetupTempFolder(SetupFolder()));

  fs::remove(fs::path(SetupFolder()));
  ASSERT_TRUE(MakeSymlink(elsewhere, SetupFolder()));
  EXPECT_FALSE(CreateSetupTempFolder(SetupFolder()));
  fs::remove(fs::path(SetupFolder()));

  fs::create_directories(fs::path(SetupFolder()));
  if (!GiveToAnotherUser(SetupFolder())) GTEST_SKIP() << "needs root to hand a folder to another user";
  EXPECT_FALSE(CreateSetupTempFolder(SetupFolder()));
}
