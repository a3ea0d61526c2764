// The splash driver's Linux facts: the bar is drawn from the control's own state, the window's
// scale, and the X window id, which lets the test read the window manager hints from the X
// server.
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <cstdio>

#include "splash_driver.h"

CProgressCtrl::CControlState NativeBarState(const CProgressCtrl& bar) { return bar.ControlState(); }

void PrintPlatformFacts(const CSplashDlg& splash) {
  auto* window = static_cast<GdkWindow*>(splash.m_nativeHandle);
  // Device pixels per layout pixel, as GDK maps the window (GDK_SCALE).
  if (window != nullptr) std::printf("scale %d\n", gdk_window_get_scale_factor(window));
#ifdef GDK_WINDOWING_X11
  if (window != nullptr && GDK_IS_X11_WINDOW(window)) {
    std::printf("xid 0x%lx\n", static_cast<unsigned long>(gdk_x11_window_get_xid(window)));
  }
#endif
}
