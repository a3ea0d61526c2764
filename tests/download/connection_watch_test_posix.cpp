// The Linux connection check against interfaces that come and go, in a network namespace of
// its own (which needs root, as CI and the developers' machines have).
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "download/connection_watch_posix.h"

namespace {

constexpr int kNoNamespace = 125;

// Runs the steps in a child process that has a network namespace of its own (a loopback
// interface alone, down); its exit status is 0, or the number of the first step whose answer
// was wrong (100 + the number when the step's command failed).
int RunSteps() {
  const struct {
    const char* command;
    bool online;
  } steps[] = {
      {nullptr, false},  // loopback alone
      {"ip link set lo up && ip addr add 192.0.2.9/32 dev lo", false},
      {"ip link add ws0 type veth peer name ws1", false},
      {"ip addr add 192.0.2.1/24 dev ws0", false},  // an address, but down
      {"ip link set ws0 up", true},
      {"ip link set ws0 down", false},
      {"ip link set ws0 up", true},
      {"ip addr flush dev ws0", false},  // up, but no address left
      {"ip -6 addr add 2001:db8::1/64 dev ws0 nodad", true},
      {"ip link del ws0", false},
  };
  if (unshare(CLONE_NEWNET) != 0) return kNoNamespace;
  CConnectionWatch watch;
  int number = 1;
  for (const auto& step : steps) {
    if (step.command != nullptr && std::system(step.command) != 0) return 100 + number;
    if (watch.IsOnline() != step.online) return number;
    ++number;
  }
  return 0;
}

// Catches an answer kept after an interface went up or down or lost or gained its address
// (an announcement missed or not acted on), or loopback counted as a connection.
TEST(ConnectionWatchTest, FollowsInterfacesAndAddresses) {
  if (std::system("command -v ip >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ip command";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(RunSteps());
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  const int step = WEXITSTATUS(status);
  if (step == kNoNamespace) GTEST_SKIP() << "no network namespace can be made here";
  // The commands are fixed: one that fails says what this machine cannot do (a kernel without
  // veth interfaces, say), not what the check does.
  if (step > 100) GTEST_SKIP() << "the command of step " << step - 100 << " failed on this machine";
  EXPECT_EQ(step, 0) << "the first step whose answer was wrong";
}

}  // namespace
