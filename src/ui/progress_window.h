// The window that shows the run's progress: it learns the byte total of the listed downloads
// and receives WM_DOWNLOAD_PROGRESS for every chunk written. Destroying it closes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/framework.h"
#include "system/clock.h"

class CProgressWindow : public CWnd {
 public:
  // The bar's range becomes 0 to total; the position is kept.
  virtual void SetProgressTotal(std::int64_t total) = 0;
};

// The platform's progress window for a run: on Linux a bar on the terminal's error output;
// none (null) where the platform has no window for it yet.
std::unique_ptr<CProgressWindow> CreateRunProgressWindow(IClock& clock);
