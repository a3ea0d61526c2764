// Real clock on Linux: CLOCK_MONOTONIC milliseconds, nanosleep and CLOCK_REALTIME.
#include <cerrno>
#include <ctime>

#include "system/clock.h"

namespace {
class CMonotonicClock final : public IClock {
 public:
  std::uint32_t TickCount() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
  }
  void Sleep(std::uint32_t milliseconds) override {
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
  }
  std::int64_t UtcSeconds() override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec);
  }
};
}  // namespace

IClock& RealClock() {
  static CMonotonicClock clock;
  return clock;
}
