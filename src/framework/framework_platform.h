// What each platform file of the framework provides to the portable part.
#pragma once

#include "framework/framework.h"

// Shows a real message box (or its terminal equivalent) and returns when it is closed.
void ShowPlatformMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption);

// Where a message goes when no box may be shown: on Linux the terminal's line on stderr; on
// Windows nowhere (the support log has it).
void WriteMessageWithoutBox(const std::wstring& text, const std::wstring& caption);

// The usage text: a box with the information icon on Windows, stdout on Linux.
void ShowPlatformUsage(const std::wstring& text, const std::wstring& caption);

// On a Linux display: a GTK modal box with the warning icon, one OK button and caption as
// its title. False, showing nothing, where GTK cannot start (no display).
bool ShowGtkMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption);
