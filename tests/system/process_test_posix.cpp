// Waiting for a started program on Linux: its end, its exit code, and the time limit.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "support/test_support.h"
#include "system/file_ops.h"
#include "system/process.h"
#include "system/run_lock.h"
#include "system/text.h"

namespace {

// Catches an end reported before the program has ended (or a limit not kept), or the exit
// code of a program that exits or is ended by a signal read wrongly.
TEST(WaitForProcessTest, EndsWithTheProgramOrAtTheLimit) {
  const struct {
    const char* script;
    std::uint32_t waitMs;
    WaitResult result;
    int exitCode;  // -7: left as it was
  } cases[] = {
      {"exit 3", 60000, WaitResult::Ended, 3},
      {"kill -TERM $$", 60000, WaitResult::Ended, 143},
      {"exec sleep 60", 200, WaitResult::Timeout, -7},
      {"exec sleep 60", 0, WaitResult::Timeout, -7},
  };
  CTempFolder temp;
  for (const auto& c : cases) {
    const std::wstring program = temp / L"program.sh";
    std::ofstream(ToUtf8(program)) << "#!/bin/sh\n" << c.script << "\n";
    const ProcessHandle process = StartProgram(program, temp.Path(), nullptr);
    ASSERT_NE(process, kNoProcess) << c.script;
    int exitCode = -7;
    EXPECT_EQ(WaitForProcess(process, c.waitMs, &exitCode), c.result) << c.script;
    EXPECT_EQ(exitCode, c.exitCode) << c.script;
    if (c.result == WaitResult::Timeout) {
      ::kill(static_cast<pid_t>(process), SIGKILL);
      EXPECT_EQ(WaitForProcess(process, 60000, &exitCode), WaitResult::Ended);
      EXPECT_EQ(exitCode, 137);
    }
    CloseProcess(process);
  }
}

// Catches a run lock that a crashed run keeps: the kernel must release it with the process.
TEST(RunLockTest, AKilledHolderReleasesIt) {
  CTempFolder temp;
  const std::wstring program = temp / L"holder.sh";
  // The shell locks the file on a descriptor of its own and becomes the holder: nothing else
  // keeps the descriptor once it is killed.
  std::ofstream(ToUtf8(program)) << "#!/bin/sh\nexec 9>MyAppSetup.lock\nflock 9\n: >locked\nexec sleep 60\n";
  const ProcessHandle holder = StartProgram(program, temp.Path(), nullptr);
  ASSERT_NE(holder, kNoProcess);
  // Until the holder has its lock (bounded).
  for (int tries = 0; tries < 500 && !FileExists(temp / L"locked"); ++tries) ::usleep(10000);
  CRunLock lock;
  EXPECT_EQ(lock.Take(temp.Path(), L"MyAppSetup"), CRunLock::Result::HeldElsewhere);
  ::kill(static_cast<pid_t>(holder), SIGKILL);
  int exitCode = 0;
  EXPECT_EQ(WaitForProcess(holder, 60000, &exitCode), WaitResult::Ended);
  EXPECT_EQ(lock.Take(temp.Path(), L"MyAppSetup"), CRunLock::Result::Taken);
}

}  // namespace
