// The window that shows the run's progress: it learns the byte total of the listed downloads
// and receives WM_DOWNLOAD_PROGRESS for every chunk written.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/framework.h"
#include "system/clock.h"

class CProgressWindow {
 public:
  virtual ~CProgressWindow() = default;
  // The bar's range becomes 0 to total; the position is kept.
  virtual void SetProgressTotal(std::int64_t total) = 0;
  // The window that WM_DOWNLOAD_PROGRESS goes to, and that owns the run's message boxes.
  virtual CWnd& Window() = 0;
};

// Where no window can be made (Linux without a display), the run's progress goes to a bar on
// the terminal's error output; null on a platform that has nothing to fall back to.
std::unique_ptr<CProgressWindow> CreateFallbackProgressWindow(IClock& clock);
