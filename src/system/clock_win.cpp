// Real clock on Windows: GetTickCount and Sleep.
#include <windows.h>

#include "system/clock.h"

namespace {
class CTickClock final : public IClock {
 public:
  std::uint32_t TickCount() override { return GetTickCount(); }
  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }
};
}  // namespace

IClock& RealClock() {
  static CTickClock clock;
  return clock;
}
