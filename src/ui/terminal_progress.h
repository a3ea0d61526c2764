// The run's progress on a terminal: a bar redrawn in place on a TTY, or a few plain lines
// when the output goes to a file or a pipe.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/progress_bar_model.h"
#include "system/clock.h"
#include "ui/progress_window.h"

// Least time between two redraws of the bar, so that a large file (a message per kilobyte)
// costs a few hundred writes to the terminal, not a million.
inline constexpr std::uint32_t kTerminalRedrawMs = 100;
// Width of the bar itself in characters.
inline constexpr int kTerminalBarWidth = 30;

class CTerminalProgress final : public CWnd, public CProgressWindow {
 public:
  CTerminalProgress(std::FILE* out, bool redrawInPlace, IClock& clock);
  // Ends an open bar line, so that what follows on the terminal starts on a line of its own.
  ~CTerminalProgress() override;

  void SetProgressTotal(std::int64_t total) override;
  CWnd& Window() override { return *this; }
  LRESULT_T OnMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) override;

  const CProgressBarModel& Bar() const { return m_bar; }

 private:
  void Draw(bool force);
  std::string StatusText() const;

  std::FILE* m_out;
  bool m_redrawInPlace;
  IClock& m_clock;
  CProgressBarModel m_bar;
  std::int64_t m_total = 0;
  bool m_totalKnown = false;
  // Bytes reported so far, repeated attempts included: what the rate is worked out from.
  std::int64_t m_received = 0;
  std::uint32_t m_startTick = 0;
  std::uint32_t m_lastDrawTick = 0;
  bool m_lineOpen = false;
  // Plain output: the quarters (25 %, 50 %, ...) already written.
  int m_quartersShown = 0;
};

// "512 B", "4.0 KB", "12.3 MB", "2.5 GB" (binary multiples).
std::string FormatByteCount(std::int64_t bytes);
