// The progress bar's arithmetic (see progress_bar_model.h).
#include "framework/progress_bar_model.h"

#include <algorithm>

void CProgressBarModel::SetRange(std::int64_t lower, std::int64_t upper) {
  m_lower = lower;
  m_upper = std::max(lower, upper);
  SetPosition(m_position);
}

void CProgressBarModel::SetPosition(std::int64_t position) { m_position = std::clamp(position, m_lower, m_upper); }

void CProgressBarModel::Advance(std::int64_t amount) {
  // Compared before adding, so that no sum can overflow near the top of a 64-bit range.
  if (amount > 0 && amount >= m_upper - m_position) {
    m_position = m_upper;
  } else {
    SetPosition(m_position + amount);
  }
}

double CProgressBarModel::Fraction() const {
  if (m_upper <= m_lower) return 0.0;
  return static_cast<double>(m_position - m_lower) / static_cast<double>(m_upper - m_lower);
}
