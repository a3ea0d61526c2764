// What each platform's dialog file provides to the portable dialog code (dialog_win.cpp over
// Win32, dialog_gtk.cpp over GTK 3). Every call is made only while the window exists, except
// the progress calls, which do nothing for a control that is not bound to a window.
#pragma once

#include <cstdint>
#include <string>

#include "framework/dialog.h"
#include "framework/static_control.h"

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

// Static controls (static_control.h). Bind leaves m_platform null when the dialog has no
// window or no child with that id; every other call is made only while bound.
void PlatformBindStatic(CDialog& dialog, int id, CStatic& control);
void PlatformUnbindStatic(CStatic& control);
LRESULT_T PlatformDefaultStaticMessage(CStatic& control, unsigned message, WPARAM_T wParam, LPARAM_T lParam);
CRect PlatformStaticClientRect(const CStatic& control);
std::uint32_t PlatformScreenColourAt(const CStatic& control, int x, int y);
void PlatformShowStatic(CStatic& control, bool visible);
void PlatformInvalidateStatic(CStatic& control);
void PlatformUpdateStatic(CStatic& control);
void PlatformInvalidateStaticFromAnyThread(CStatic& control);
void PlatformPaintStaticPixels(CStatic& control, const std::uint8_t* rgb, int width, int height);
void PlatformSetHandCursor(CStatic& control);
void PlatformSetStaticTimer(CStatic& control, unsigned id, unsigned intervalMs);
void PlatformKillStaticTimer(CStatic& control, unsigned id);
