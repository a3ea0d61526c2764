// The splash driver's Windows facts: the progress control's own range and position, the
// window's styles, the screen's resolution, and the bar's styles and visual style.
#include <windows.h>
// The common controls' header needs the types of windows.h first.
#include <commctrl.h>

#include <cstdio>

#include "splash_driver.h"

namespace {
template <typename T>
T ThemeEntry(const char* name) {
  // The driver, like Setup, never takes uxtheme.dll from its own folder. Through void* because
  // a FARPROC is no particular function type.
  HMODULE module = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return module != nullptr ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// "app-themed A theme T smooth S border B edge E frame F": whether the program draws with visual
// styles at all (else every control is classic and the bar's own theme tells nothing), whether
// the bar has a theme of its own (counted as one when it cannot be asked, so that a check of it
// cannot pass by not looking), its style bits, and the width of the frame laid out around its
// client area, in pixels.
void PrintBarStyle(HWND bar) {
  using IsAppThemedFn = BOOL(WINAPI*)();
  using GetWindowThemeFn = HANDLE(WINAPI*)(HWND);
  const auto isAppThemed = ThemeEntry<IsAppThemedFn>("IsAppThemed");
  const auto getWindowTheme = ThemeEntry<GetWindowThemeFn>("GetWindowTheme");
  const LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrW(bar, GWL_EXSTYLE);
  RECT window{};
  RECT client{};
  GetWindowRect(bar, &window);
  GetClientRect(bar, &client);
  std::printf("bar-style app-themed %d theme %d smooth %d border %d edge %d frame %ld\n",
              isAppThemed != nullptr && isAppThemed() != FALSE,
              getWindowTheme == nullptr || getWindowTheme(bar) != nullptr, (style & PBS_SMOOTH) != 0,
              (style & WS_BORDER) != 0, (exStyle & (WS_EX_STATICEDGE | WS_EX_CLIENTEDGE)) != 0,
              (window.right - window.left - client.right) / 2);
}

// "dpi D": the screen's resolution as the program sees it, so that a scaled screen's test
// knows its setting reached the program.
void PrintDpi() {
  HDC screen = GetDC(nullptr);
  std::printf("dpi %d\n", GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
}
}  // namespace

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
  PrintDpi();
  PrintBarStyle(static_cast<HWND>(splash.m_progress.m_nativeHandle));
}
