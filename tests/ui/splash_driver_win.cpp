// The splash driver's Windows facts: the progress control's own range and position, and the
// window's styles.
#include <windows.h>
// The common controls' header needs the types of windows.h first.
#include <commctrl.h>

#include <cstdio>

#include "splash_driver.h"

CProgressCtrl::CControlState NativeBarState(const CProgressCtrl& bar) {
  HWND control = static_cast<HWND>(bar.m_nativeHandle);
  PBRANGE range{};
  SendMessageW(control, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  return {range.iLow, range.iHigh, static_cast<std::int32_t>(SendMessageW(control, PBM_GETPOS, 0, 0))};
}

void PrintPlatformFacts(const CSplashDlg& splash) {
  HWND window = static_cast<HWND>(splash.m_nativeHandle);
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
  RECT frame{};
  GetWindowRect(window, &frame);
  std::printf("style topmost %d caption %d border %d popup %d visible %d\n", (exStyle & WS_EX_TOPMOST) != 0,
              (style & WS_CAPTION) == WS_CAPTION, (style & WS_BORDER) != 0, (style & WS_POPUP) != 0,
              IsWindowVisible(window) != FALSE);
  std::printf("frame %ld %ld %ld %ld\n", frame.left, frame.top, frame.right, frame.bottom);
  std::printf("foreground %d\n", GetForegroundWindow() == window);
  std::printf("screen %d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}
