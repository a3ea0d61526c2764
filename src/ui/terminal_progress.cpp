// The run's progress on a terminal (see terminal_progress.h).
#include "ui/terminal_progress.h"

#include <cinttypes>

#include "download/downloader.h"
#include "system/text.h"
#include "system/texts.h"

namespace {
constexpr int kQuarters = 4;
constexpr double kKilo = 1024.0;
constexpr std::uint32_t kMsPerSecond = 1000;
}  // namespace

std::string FormatByteCount(std::int64_t bytes) {
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
  char text[32];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%" PRId64 " B", bytes);
    return text;
  }
  double value = static_cast<double>(bytes) / kKilo;
  std::size_t unit = 0;
  while (value >= kKilo && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
    value /= kKilo;
    ++unit;
  }
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

CTerminalProgress::CTerminalProgress(std::FILE* out, bool redrawInPlace, IClock& clock)
    : m_out(out), m_redrawInPlace(redrawInPlace), m_clock(clock), m_startTick(clock.TickCount()) {}

CTerminalProgress::~CTerminalProgress() {
  if (m_lineOpen) {
    Draw(true);
    std::fputc('\n', m_out);
    std::fflush(m_out);
    SetOpenTerminalLine(false);
  }
}

void CTerminalProgress::SetProgressTotal(std::int64_t total) {
  m_bar.SetRange(0, total);
  m_total = total;
  m_totalKnown = true;
  m_startTick = m_clock.TickCount();
  if (!m_redrawInPlace) {
    std::fprintf(m_out, "%s\n", ToUtf8(Text(IDS_DOWNLOADING_TOTAL, {FromUtf8(FormatByteCount(total))})).c_str());
    std::fflush(m_out);
  }
  Draw(true);
}

LRESULT_T CTerminalProgress::OnMessage(unsigned message, WPARAM_T wParam, LPARAM_T) {
  if (message != WM_DOWNLOAD_PROGRESS) return 0;
  m_bar.Advance(static_cast<std::int64_t>(wParam));
  m_received += static_cast<std::int64_t>(wParam);
  Draw(false);
  return 0;
}

std::string CTerminalProgress::StatusText() const {
  char percent[16];
  std::snprintf(percent, sizeof percent, "%3d%%  ", static_cast<int>(m_bar.Fraction() * 100.0));
  std::string status = percent + ToUtf8(Text(IDS_RECEIVED_OF_TOTAL, {FromUtf8(FormatByteCount(m_received)),
                                                                     FromUtf8(FormatByteCount(m_total))}));
  // No rate before a millisecond has passed: it would read as a stalled download.
  const std::uint32_t elapsed = m_clock.TickCount() - m_startTick;
  if (elapsed > 0) {
    const auto perSecond = static_cast<std::int64_t>(static_cast<double>(m_received) * kMsPerSecond / elapsed);
    status += "  " + FormatByteCount(perSecond) + "/s";
  }
  return status;
}

void CTerminalProgress::Draw(bool force) {
  if (!m_totalKnown) return;
  const double fraction = m_bar.Fraction();
  if (!m_redrawInPlace) {
    // A line at each quarter reached; a file or pipe gets no bar to redraw.
    const int quarters = static_cast<int>(fraction * kQuarters);
    if (quarters <= m_quartersShown || m_total <= 0) return;
    m_quartersShown = quarters;
    std::fprintf(m_out, "%s\n", StatusText().c_str());
    std::fflush(m_out);
    return;
  }
  const std::uint32_t now = m_clock.TickCount();
  if (!force && m_lineOpen && now - m_lastDrawTick < kTerminalRedrawMs) return;
  m_lastDrawTick = now;
  const int filled = static_cast<int>(fraction * kTerminalBarWidth);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kTerminalBarWidth - filled), '-');
  // Carriage return and erase-to-end: the bar replaces itself on the same line.
  std::fprintf(m_out, "\r[%s] %s\x1b[K", bar.c_str(), StatusText().c_str());
  std::fflush(m_out);
  m_lineOpen = true;
  SetOpenTerminalLine(true);
}
