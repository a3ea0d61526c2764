// The run's progress window on Linux: the terminal bar on the error output, redrawn in place
// when that is a terminal.
#include <unistd.h>

#include "ui/terminal_progress.h"

std::unique_ptr<CProgressWindow> CreateFallbackProgressWindow(IClock& clock) {
  return std::make_unique<CTerminalProgress>(stderr, ::isatty(STDERR_FILENO) == 1, clock);
}
