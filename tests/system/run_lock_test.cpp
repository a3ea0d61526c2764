// The run lock: one holder per name and user at a time, free again once released.
#include "system/run_lock.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"
#include "system/text.h"
#include "websetup_config.h"

using Result = CRunLock::Result;

// Catches a second run let in beside the first, runs of two products kept apart by mistake, a
// lock that stays taken after its run has released it, or a lock file left behind.
TEST(RunLockTest, OneHolderPerNameAtATime) {
  CTempFolder temp;
  CRunLock first, second, other;
  EXPECT_EQ(first.Take(temp.Path(), L"MyAppSetup"), Result::Taken);
  EXPECT_EQ(second.Take(temp.Path(), L"MyAppSetup"), Result::HeldElsewhere);
  EXPECT_EQ(other.Take(temp.Path(), L"OtherAppSetup"), Result::Taken);
  first.Release();
  EXPECT_EQ(second.Take(temp.Path(), L"MyAppSetup"), Result::Taken);
  EXPECT_EQ(first.Take(temp.Path(), L"MyAppSetup"), Result::HeldElsewhere);
  second.Release();
  other.Release();
  EXPECT_TRUE(std::filesystem::is_empty(ToUtf8(temp.Path())));
}

// Catches a lock file made in a folder that others may write to, where a link could stand in
// its place.
TEST(RunLockTest, NoLockInAFolderOthersMayWrite) {
  if (kIsWindows) GTEST_SKIP() << "Windows names a mutex; no file is made";
  CTempFolder temp;
  std::filesystem::permissions(ToUtf8(temp.Path()), std::filesystem::perms::others_write,
                               std::filesystem::perm_options::add);
  CRunLock lock;
  EXPECT_EQ(lock.Take(temp.Path(), L"MyAppSetup"), Result::Unavailable);
}
