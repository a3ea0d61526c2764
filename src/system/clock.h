// The clock seam: a millisecond tick and a pause. The core never calls the real clock
// directly, so long waits run instantly in tests and the pauses can be asserted exactly.
#pragma once

#include <cstdint>

class IClock {
 public:
  virtual ~IClock() = default;
  // Milliseconds since some fixed moment; wraps around like GetTickCount.
  virtual std::uint32_t TickCount() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The machine's monotonic clock (GetTickCount/Sleep; CLOCK_MONOTONIC/nanosleep).
IClock& RealClock();
