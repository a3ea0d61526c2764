// The progress bar's arithmetic, shared by every window that shows the run's progress: a range
// and a position that the bar keeps inside that range, as the Windows progress control does.
#pragma once

#include <cstdint>

class CProgressBarModel {
 public:
  // Before the total is known the bar shows position 1 of 0..100: a sliver, so the user sees
  // that something has started.
  static constexpr std::int64_t kInitialUpper = 100;
  static constexpr std::int64_t kInitialPosition = 1;

  // A new range; the position is kept, pulled into the new range where it lies outside.
  void SetRange(std::int64_t lower, std::int64_t upper);
  // Positions outside the range are kept at its nearest end.
  void SetPosition(std::int64_t position);
  // The position as read back, always within the range.
  std::int64_t Position() const { return m_position; }
  std::int64_t Lower() const { return m_lower; }
  std::int64_t Upper() const { return m_upper; }
  // Adds to the position as read back. Bytes beyond the end are lost for display: the bar
  // stays full.
  void Advance(std::int64_t amount);
  // How full the bar is, 0 to 1; 0 for an empty range.
  double Fraction() const;

 private:
  std::int64_t m_lower = 0;
  std::int64_t m_upper = kInitialUpper;
  std::int64_t m_position = kInitialPosition;
};
