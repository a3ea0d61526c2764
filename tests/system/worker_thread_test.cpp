// The worker thread: what the marquee and the parallel decryption rely on.
#include "system/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {
// Long enough that a Join which does not wait returns well before the thread is done.
constexpr auto kWorkTime = std::chrono::milliseconds(50);

void SlowIncrement(void* counter) {
  std::this_thread::sleep_for(kWorkTime);
  ++*static_cast<std::atomic<int>*>(counter);
}
}  // namespace

// Catches a Join that returns before the thread has finished (the decryption would read a half
// filled buffer), and a Start that replaces a running thread without joining it first.
TEST(WorkerThreadTest, JoinWaitsAndStartJoinsTheThreadBefore) {
  std::atomic<int> counter{0};
  CWorkerThread worker;
  ASSERT_TRUE(worker.Start(&SlowIncrement, &counter, false));
  EXPECT_TRUE(worker.Joinable());
  ASSERT_TRUE(worker.Start(&SlowIncrement, &counter, true));
  EXPECT_EQ(counter.load(), 1);
  worker.Join();
  EXPECT_EQ(counter.load(), 2);
  EXPECT_FALSE(worker.Joinable());
  worker.Join();
}

// Catches a destructor that leaves the thread running (it would touch a control already gone).
TEST(WorkerThreadTest, DestructorJoins) {
  std::atomic<int> counter{0};
  {
    CWorkerThread worker;
    ASSERT_TRUE(worker.Start(&SlowIncrement, &counter, false));
  }
  EXPECT_EQ(counter.load(), 1);
}
