// Real clock on Windows: GetTickCount, Sleep and the system time.
#include <windows.h>

#include "system/clock.h"

namespace {
class CTickClock final : public IClock {
 public:
  std::uint32_t TickCount() override { return GetTickCount(); }
  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }
  std::int64_t UtcSeconds() override {
    // FILETIME counts 100 ns steps since 1601-01-01 UTC.
    constexpr std::int64_t kUnixEpochTicks = 116444736000000000LL;
    constexpr std::int64_t kTicksPerSecond = 10000000LL;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::int64_t ticks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    return (ticks - kUnixEpochTicks) / kTicksPerSecond;
  }
};
}  // namespace

IClock& RealClock() {
  static CTickClock clock;
  return clock;
}
