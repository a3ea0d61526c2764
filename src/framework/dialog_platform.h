// What each platform's dialog file provides to the portable dialog code (dialog_win.cpp over
// Win32, dialog_gtk.cpp over GTK 3). Every call is made only while the window exists, except
// the progress calls, which do nothing for a control that is not bound to a window.
#pragma once

#include <cstdint>
#include <string>

#include "framework/dialog.h"

// Makes the window, binds the controls and runs OnInitDialog; sets m_platform. False when no
// window could be made (on Linux: no display).
bool PlatformCreateDialog(CDialog& dialog);
void PlatformDestroyDialog(CDialog& dialog);
void PlatformSetWindowText(CDialog& dialog, const std::wstring& text);
CRect PlatformDlgItemClientRect(const CDialog& dialog, int id);
CRect PlatformClientScreenRect(const CDialog& dialog);
void PlatformSetTopmost(CDialog& dialog, bool topmost);
void PlatformRedrawDialog(CDialog& dialog);

void PlatformBindProgress(CDialog& dialog, int id, CProgressCtrl& control);
void PlatformSendProgressRange(CProgressCtrl& control, bool sixteenBit, std::int32_t lower, std::int32_t upper);
void PlatformSendProgressPosition(CProgressCtrl& control, std::int32_t position);
void PlatformRedrawProgress(CProgressCtrl& control);
