// The run sequence: names of the run, launch and wait, clean-up, and the real Setup program.
#include "app/setup_app.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/run_names.h"
#include "support/test_support.h"
#include "system/file_ops.h"
#include "system/folders.h"
#include "system/path.h"
#include "system/process.h"
#include "system/run_lock.h"
#include "system/text.h"
#include "websetup_config.h"

namespace fs = std::filesystem;

namespace {
const std::wstring kSep(1, kPathSeparator);

std::wstring StubName() { return kIsWindows ? L"FinalSetup.exe" : L"FinalSetup"; }

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  return LowerCase(StripTrailingSeparator(GetLongPathForm(a))) == LowerCase(StripTrailingSeparator(GetLongPathForm(b)));
}

// Copies the stand-in final setup into folder under the name the description would give.
void PlaceFinalSetup(const std::wstring& folder) {
  fs::copy_file(fs::path(BuildPathForTesting(WEBSETUP_FINAL_SETUP_STUB)), fs::path(folder + kSep + StubName()),
                fs::copy_options::overwrite_existing);
}
}  // namespace

class SetupAppTest : public ::testing::Test {
 protected:
  SetupAppTest() { m_app.SetAppName(L"Setup_MyApp_"); }
  ~SetupAppTest() override { SetCurrentFolder(m_startFolder); }

  std::wstring m_startFolder = GetCurrentFolder();
  CTempFolder m_temp;
  CFakeClock m_clock;
  CSetupApp m_app{CDownloadHosts{}, m_clock};
  CMessageBoxRecorder m_boxes;
};

// Catches names worked out from the wrong path, or a current directory left elsewhere.
TEST_F(SetupAppTest, WorksOutNamesFromTheRunningProgram) {
  CScopedTempFolderEnv env(m_temp.Path());
  const CRunNames names = m_app.WorkOutRunNames();
  EXPECT_EQ(names.modulePath, GetLongPathForm(GetModulePath()));
  EXPECT_EQ(names.setupName, L"Local");  // the test program's name has no underscores
  EXPECT_EQ(names.setupTempFolder, m_temp.Path() + kSep + L"Orvel's Projects" + kSep + L"LocalSetup");
  EXPECT_EQ(GetProgramFolder().back(), kPathSeparator);
  EXPECT_TRUE(SameFolder(GetCurrentFolder(), GetProgramFolder()));
}

// Catches a second run that deletes what the first is about to start: while another run of the
// product holds the lock, the run shows its message and touches nothing.
TEST_F(SetupAppTest, SecondRunOfAProductLeavesTheFirstsFolderAlone) {
  CScopedTempFolderEnv env(m_temp.Path());
  const CRunNames names = m_app.WorkOutRunNames();
  const std::wstring product = names.setupTempFolder + kSep + L"Product.dat";
  ASSERT_TRUE(CreateFolderChain(names.setupTempFolder));
  WriteFileBytes(product, "the first run's");
  std::wstring projects, name;
  SplitPath(names.setupTempFolder, projects, name);
  CRunLock first;
  ASSERT_EQ(first.Take(StripTrailingSeparator(projects), name), CRunLock::Result::Taken);
  m_app.RunSetup(names);
  ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes.m_boxes[0].first, L"Setup is already running.");
  EXPECT_EQ(ReadFileBytes(product), "the first run's");
  EXPECT_EQ(m_app.ExitInstance(), 0);

  // Unattended, the code a management tool retries on, and no box.
  CSetupApp quiet{CDownloadHosts{}, m_clock};
  CRunOptions options;
  options.mode = RunMode::Quiet;
  quiet.SetOptions(options);
  quiet.RunSetup(names);
  EXPECT_EQ(m_boxes.m_boxes.size(), 1u);
  EXPECT_EQ(quiet.ExitInstance(), kExitAlreadyRunning);
  EXPECT_EQ(ReadFileBytes(product), "the first run's");
}

// Catches a missing message (or a wait on nothing) when the final setup cannot be started.
TEST_F(SetupAppTest, LaunchWithoutProcessShowsTheMessage) {
  EXPECT_FALSE(m_app.RunFinalSetup(m_temp.Path(), L"no-such-program.exe"));
  ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes.m_boxes[0].first, L"Error: Failed to start the final setup.");
  EXPECT_EQ(m_boxes.m_boxes[0].second, L"Setup_MyApp_");
}

// Catches a final setup started from outside the setup temp folder: the program named exists
// there, so only the plain-name rule keeps it from running.
TEST_F(SetupAppTest, ProgramToRunOutsideTheFolderIsNeverStarted) {
  const std::wstring folder = m_temp / L"MyAppSetup";
  ASSERT_TRUE(CreateFolderChain(folder));
  PlaceFinalSetup(m_temp.Path());
  for (const std::wstring& name : {L".." + kSep + StubName(), m_temp / StubName()}) {
    m_boxes.m_boxes.clear();
    EXPECT_FALSE(m_app.RunFinalSetup(folder, name)) << ToUtf8(name);
    ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes.m_boxes[0].first, L"Error: Failed to start the final setup.");
    EXPECT_FALSE(FileExists(folder + kSep + L"final-setup-ran.txt"));
  }
}

// Catches a launch with the wrong working directory, a wait that returns early, or a clean-up
// that leaves the setup temp folder behind.
TEST_F(SetupAppTest, RunsTheFinalSetupInTheSetupTempFolderAndCleansUp) {
  const std::wstring folder = m_temp / L"MyAppSetup";
  ASSERT_TRUE(CreateFolderChain(folder));
  PlaceFinalSetup(folder);
  EXPECT_TRUE(m_app.RunFinalSetup(folder, StubName()));
  EXPECT_TRUE(m_boxes.m_boxes.empty());
  EXPECT_TRUE(FileExists(folder + kSep + L"final-setup-ran.txt"));  // written just before it ended

  SetProgramFolder(m_temp.Path() + kSep);
  m_app.CleanUp(folder);
  EXPECT_FALSE(FileExists(folder));
  EXPECT_TRUE(m_clock.m_sleeps.empty());
  EXPECT_TRUE(SameFolder(GetCurrentFolder(), m_temp.Path()));
}

// Catches an unattended run that waits on a box nobody will press, ends with 0 after a failure
// or loses the final setup's own code; an interactive run whose status is anything but 0; and
// the description's unattended line given to an interactive run's final setup.
TEST_F(SetupAppTest, ExitStatusMessagesAndArgumentsFollowTheMode) {
  const int restart = kIsWindows ? 3010 : 42;
  const struct {
    RunMode mode;
    bool startable;
    int finalCode;
    int status;
    std::size_t boxes;
    const char* arguments;
  } rows[] = {
      {RunMode::Interactive, true, 3, 0, 0, ""},
      {RunMode::Interactive, false, 0, 0, 1, nullptr},
      {RunMode::Quiet, true, 0, 0, 0, "/S\n/v/qn REBOOT=R\n"},
      {RunMode::Quiet, true, restart, restart, 0, "/S\n/v/qn REBOOT=R\n"},
      {RunMode::Passive, true, 1, 1, 0, "/S\n/v/qn REBOOT=R\n"},
      {RunMode::Quiet, false, 0, kExitSetupFailed, 0, nullptr},
      {RunMode::Passive, false, 0, kExitSetupFailed, 0, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(row.mode) << " " << row.startable << " " << row.finalCode);
    CTempFolder temp;
    const std::wstring folder = temp / L"MyAppSetup", record = temp / L"record";
    ASSERT_TRUE(CreateFolderChain(folder));
    PlaceFinalSetup(folder);
    CScopedEnv recordEnv("WEBSETUP_STUB_RECORD", record);
    CScopedEnv codeEnv("WEBSETUP_STUB_EXIT_CODE", DecimalText(row.finalCode));
    CMessageBoxRecorder boxes;
    CSetupApp app{CDownloadHosts{}, m_clock};
    CRunOptions options;
    options.mode = row.mode;
    app.SetOptions(options);
    ASSERT_TRUE(app.OpenSupportLogAt(temp / L"support.log"));
    ASSERT_TRUE(app.m_description.LoadText(L"[Unattended Arguments]\r\n/S /v\"/qn REBOOT=R\"\r\n[End]End"));
    app.RunFinalSetup(folder, row.startable ? StubName() : L"missing.exe");
    EXPECT_EQ(app.ExitInstance(), row.status);
    EXPECT_EQ(boxes.m_boxes.size(), row.boxes);
    if (row.arguments != nullptr) {
      EXPECT_EQ(ReadFileBytes(record + kSep + L"arguments.txt"), row.arguments);
    }
    const std::string log = ReadFileBytes(temp / L"support.log");
    EXPECT_EQ(log.find(row.mode == RunMode::Interactive ? "message box: Error: Failed to start the final setup."
                                                        : "message (no box in an unattended run): Error: Failed to "
                                                          "start the final setup.") != std::string::npos,
              !row.startable);
    EXPECT_NE(log.find("Setup ends with exit status " + std::to_string(row.status)), std::string::npos);
  }
}

// Catches "/?" that runs the setup anyway, or whose text lacks a switch or a platform's code.
TEST_F(SetupAppTest, HelpShowsTheUsageAndDoesNothingElse) {
  CScopedTempFolderEnv env(m_temp.Path());
  CRunOptions options;
  options.mode = RunMode::Quiet;
  options.help = true;
  m_app.SetOptions(options);
  m_app.Run();
  EXPECT_EQ(m_app.ExitInstance(), 0);
  ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
  const std::wstring& usage = m_boxes.m_boxes[0].first;
  EXPECT_EQ(usage.rfind(L"Usage: Setup_MyApp_ [/quiet | /passive] [/log FILE] [-- ARGUMENTS]\n", 0), 0u) << usage;
  for (const wchar_t* part : {L"/passive", L"/silent", L"/help", kIsWindows ? L"; 1603 failed" : L"; 1 failed",
                              kIsWindows ? L"; 1618 another" : L"; 75 another"}) {
    EXPECT_NE(usage.find(part), std::wstring::npos) << part;
  }
  EXPECT_FALSE(FileExists(m_temp / L"Orvel's Projects"));
}

// Catches a recursive clean-up: a subfolder left by the final setup keeps the folder alive.
TEST_F(SetupAppTest, SubfolderLeftByTheFinalSetupKeepsTheFolder) {
  const std::wstring folder = m_temp / L"MyAppSetup";
  ASSERT_TRUE(CreateFolderChain(folder));
  PlaceFinalSetup(folder);
  WriteFileBytes(folder + kSep + L"leave-a-subfolder", "");
  ASSERT_TRUE(m_app.RunFinalSetup(folder, StubName()));
  SetProgramFolder(m_temp.Path() + kSep);
  m_app.CleanUp(folder);
  EXPECT_TRUE(FileExists(folder + kSep + L"left-behind"));
  EXPECT_FALSE(FileExists(folder + kSep + StubName()));
  EXPECT_EQ(m_clock.m_sleeps, (std::vector<std::uint32_t>{1000, 1000}));
}

// Catches a Setup program that does not clear its setup temp folder (named after its own
// file name) or does not end.
TEST(SetupProgramTest, RemovesItsSetupTempFolderAndEnds) {
  CTempFolder temp;
  CScopedTempFolderEnv env(temp.Path());
  const std::wstring setup = temp / (kIsWindows ? L"Setup_E2e_.exe" : L"Setup_E2e_");
  fs::copy_file(fs::path(BuildPathForTesting(WEBSETUP_SETUP_BINARY)), fs::path(setup));
  const std::wstring leftover = temp / L"Orvel's Projects" + kSep + L"E2eSetup";
  ASSERT_TRUE(CreateFolderChain(leftover));
  WriteFileBytes(leftover + kSep + L"old.txt", "from an earlier run");

  const ProcessHandle process = StartProgram(setup, temp.Path(), nullptr);
  ASSERT_NE(process, kNoProcess);
  int slices = 0;
  while (WaitForProcess(process, 5000) == WaitResult::Timeout) ASSERT_LT(++slices, 12) << "Setup did not end";
  CloseProcess(process);
  EXPECT_FALSE(FileExists(leftover));
  EXPECT_TRUE(FileExists(temp / L"Orvel's Projects"));  // the parent is never removed
}

// Catches an entry point that runs nothing or a wrong application name.
TEST(FrameworkTest, ApplicationNameIsTheBaseFileName) {
  EXPECT_EQ(AppNameFromPath(L"C:\\Downloads\\Setup_MyApp_.exe"), L"Setup_MyApp_");
  EXPECT_EQ(AppNameFromPath(L"/home/u/Setup_MyApp_"), L"Setup_MyApp_");
  EXPECT_EQ(AppNameFromPath(L"/home/u.v/Setup"), L"Setup");

  struct CCountingApp : CWinApp {
    bool InitInstance() override {
      ++m_calls;
      return false;
    }
    int m_calls = 0;
  } app;
  EXPECT_EQ(RunApplication(L"/x/Setup_A_.exe"), 0);
  EXPECT_EQ(app.m_calls, 1);
  EXPECT_EQ(app.AppName(), L"Setup_A_");
}
