// eiftool's command line, shared by the Windows and Linux entry points.
#pragma once

#include <string>
#include <vector>

// args without the program name. Returns the process exit status.
int RunEifTool(const std::vector<std::wstring>& args);
