// What the splash driver asks of its platform file.
#pragma once

#include "ui/splash_dlg.h"

// Range and position as the platform's own control reports them.
CProgressCtrl::CControlState NativeBarState(const CProgressCtrl& bar);
// Lines "style ..." about the window that only the platform can tell.
void PrintPlatformFacts(const CSplashDlg& splash);
