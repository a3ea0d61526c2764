// Why a display named in the environment cannot be used: the one line Setup writes before it
// falls back to the terminal, so a user who set DISPLAY or WAYLAND_DISPLAY learns why no window
// came.
#pragma once

#include <string>

// "cannot open display :99: Connection refused" for each of WAYLAND_DISPLAY and DISPLAY that is
// set, joined by "; "; empty when neither is set. Asks the display itself, so call it only once
// GDK has failed to open it.
std::string DescribeUnusableDisplays();
