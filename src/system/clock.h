// The clock seam: a millisecond tick, a pause and the wall clock. The core never calls the real clock
// directly, so long waits run instantly in tests and the pauses can be asserted exactly.
#pragma once

#include <cstdint>

class IClock {
 public:
  virtual ~IClock() = default;
  // Milliseconds since some fixed moment; wraps around like GetTickCount.
  virtual std::uint32_t TickCount() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Whole seconds since 1970-01-01 00:00:00 UTC: the wall clock, for the install time that
  // the final setup is told.
  virtual std::int64_t UtcSeconds() = 0;
};

// The machine's monotonic clock (GetTickCount/Sleep; CLOCK_MONOTONIC/nanosleep).
IClock& RealClock();
