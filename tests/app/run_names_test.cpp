// Program folder, setup name and setup temp folder of a run.
#include "app/run_names.h"
#include "app/run_options.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"
#include "system/command_line.h"
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

// Catches a switch matched in one spelling or case only, a log file taken from the wrong
// argument, the variable winning over the command line, or a final setup's argument after "--"
// taken as Setup's own.
TEST(RunNamesTest, SwitchesOfTheCommandLine) {
  using Args = std::vector<std::wstring>;
  struct Row {
    Args arguments;
    RunMode mode;
    bool help;
    const wchar_t* log;
  };
  const Row rows[] = {
      {{}, RunMode::Interactive, false, L"env.log"},
      {{L"/log", L"a.log"}, RunMode::Interactive, false, L"a.log"},
      {{L"/x", L"/LOG", L"C:\\b c.log", L"--log", L"later.log"}, RunMode::Interactive, false, L"C:\\b c.log"},
      {{L"/log"}, RunMode::Interactive, false, L"env.log"},
      {{L"log", L"d.log"}, RunMode::Interactive, false, L"env.log"},
      {{L"/Quiet"}, RunMode::Quiet, false, L"env.log"},
      {{L"/q"}, RunMode::Quiet, false, L"env.log"},
      {{L"/SILENT"}, RunMode::Quiet, false, L"env.log"},
      {{L"--quiet", L"--log", L"q.log"}, RunMode::Quiet, false, L"q.log"},
      {{L"/passive"}, RunMode::Passive, false, L"env.log"},
      {{L"--PASSIVE"}, RunMode::Passive, false, L"env.log"},
      {{L"-q", L"quiet", L"/quiet:1"}, RunMode::Interactive, false, L"env.log"},
      {{L"/?"}, RunMode::Interactive, true, L"env.log"},
      {{L"/Help"}, RunMode::Interactive, true, L"env.log"},
      {{L"--help"}, RunMode::Interactive, true, L"env.log"},
      {{L"/passive", L"--", L"/quiet", L"/?", L"/log", L"x.log"}, RunMode::Passive, false, L"env.log"},
      {{L"/log", L"--", L"/quiet"}, RunMode::Interactive, false, L"env.log"},
  };
  for (const Row& row : rows) {
    const CRunOptions options = ParseRunOptions(row.arguments, L"env.log");
    const std::wstring joined = JoinCommandLine(row.arguments);
    EXPECT_EQ(options.mode, row.mode) << joined;
    EXPECT_EQ(options.help, row.help) << joined;
    EXPECT_EQ(options.logPath, row.log) << joined;
  }
  EXPECT_EQ(ParseRunOptions({}, L"").logPath, L"");
}

// Catches the description's line given to an interactive run's final setup, or the two parts
// joined without a space between them (or with one where a part is missing).
TEST(RunNamesTest, FinalSetupArgumentsJoinTheTagAndWhatFollowedTheDoubleDash) {
  CRunOptions quiet;
  quiet.mode = RunMode::Quiet;
  EXPECT_EQ(FinalSetupArguments(quiet, L"/S /v\"/qn\"", L"\"a b\" c"), L"/S /v\"/qn\" \"a b\" c");
  EXPECT_EQ(FinalSetupArguments(quiet, L"/S", L""), L"/S");
  EXPECT_EQ(FinalSetupArguments(quiet, L"", L"c"), L"c");
  EXPECT_EQ(FinalSetupArguments(CRunOptions{}, L"/S", L"c"), L"c");
  EXPECT_EQ(FinalSetupArguments(CRunOptions{}, L"/S", L""), L"");
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

// Catches a planted projects folder or setup folder being accepted in a shared temp folder (/tmp,
// or SYSTEM's on Windows): one that is a link elsewhere, that others may write, or that belongs
// to somebody else.
TEST_F(SetupTempFolderTest, RefusesFoldersSomebodyElseControls) {
  namespace fs = std::filesystem;
  for (const std::wstring& planted : {Projects(), SetupFolder()}) {
    SCOPED_TRACE(planted);
    fs::create_directories(fs::path(SetupFolder()));
    ASSERT_TRUE(LetEverybodyWrite(planted));
    EXPECT_FALSE(CreateSetupTempFolder(SetupFolder()));
    ASSERT_TRUE(KeepToOwner(planted));
    EXPECT_TRUE(CreateSetupTempFolder(SetupFolder()));
    fs::remove_all(fs::path(Projects()));

    const std::wstring elsewhere = m_temp / L"elsewhere";
    fs::create_directories(fs::path(elsewhere));
    if (planted == SetupFolder()) fs::create_directories(fs::path(Projects()));
    if (MakeSymlink(elsewhere, planted)) {
      EXPECT_FALSE(CreateSetupTempFolder(SetupFolder()));
    }
    fs::remove(fs::path(planted));
  }
}

// Catches a setup folder of somebody else's taken as the user's own.
TEST_F(SetupTempFolderTest, RefusesAFolderOfAnotherOwner) {
  namespace fs = std::filesystem;
  fs::create_directories(fs::path(SetupFolder()));
  if (!GiveToAnotherUser(SetupFolder())) GTEST_SKIP() << "handing a folder to another user needs root (Linux) or Windows itself (wine keeps no owner)";
  EXPECT_FALSE(CreateSetupTempFolder(SetupFolder()));
}
