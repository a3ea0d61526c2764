// Windows has nothing to fall back to when the splash window cannot be made: a GUI program
// has no terminal, so the run goes on without progress.
#include "ui/progress_window.h"

std::unique_ptr<CProgressWindow> CreateFallbackProgressWindow(IClock&) { return nullptr; }
