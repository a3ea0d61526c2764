// What each platform file of the framework provides to the portable part.
#pragma once

#include "framework/framework.h"

// Shows a real message box (or its terminal equivalent) and returns when it is closed.
void ShowPlatformMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption);
