// Static controls over Win32: the dialog's child window, subclassed so that its messages reach
// the control object.
#include <windows.h>

#include "framework/dialog_platform.h"

struct CStaticPlatform {
  HWND window = nullptr;
  WNDPROC original = nullptr;  // the static class's own procedure: the default processing
};

namespace {
// Which control object a subclassed child window belongs to.
constexpr wchar_t kControlProperty[] = L"websetup-control";

HWND WindowOf(const CStatic& control) { return control.m_platform->window; }

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* control = static_cast<CStatic*>(GetPropW(window, kControlProperty));
  if (control == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    const WNDPROC original = control->m_platform->original;
    PlatformUnbindStatic(*control);
    return CallWindowProcW(original, window, message, wParam, lParam);
  }
  return static_cast<LRESULT>(control->OnMessage(message, wParam, lParam));
}
}  // namespace

void PlatformBindStatic(CDialog& dialog, int id, CStatic& control) {
  HWND window = GetDlgItem(static_cast<HWND>(dialog.m_nativeHandle), id);
  if (window == nullptr) return;
  control.m_platform = new CStaticPlatform{window, nullptr};
  control.m_nativeHandle = window;
  SetPropW(window, kControlProperty, &control);
  control.m_platform->original =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc)));
}

void PlatformUnbindStatic(CStatic& control) {
  HWND window = WindowOf(control);
  for (unsigned id : control.m_timers) ::KillTimer(window, id);
  control.m_timers.clear();
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control.m_platform->original));
  RemovePropW(window, kControlProperty);
  delete control.m_platform;
  control.m_platform = nullptr;
  control.m_nativeHandle = nullptr;
}

LRESULT_T PlatformDefaultStaticMessage(CStatic& control, unsigned message, WPARAM_T wParam, LPARAM_T lParam) {
  return CallWindowProcW(control.m_platform->original, WindowOf(control), message, wParam, lParam);
}

CRect PlatformStaticClientRect(const CStatic& control) {
  RECT rect{};
  ::GetClientRect(WindowOf(control), &rect);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

std::uint32_t PlatformScreenColourAt(const CStatic& control, int x, int y) {
  HDC screen = GetDC(WindowOf(control));
  const COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(WindowOf(control), screen);
  if (colour == CLR_INVALID) return 0;
  return (std::uint32_t{GetRValue(colour)} << 16) | (std::uint32_t{GetGValue(colour)} << 8) | GetBValue(colour);
}

void PlatformShowStatic(CStatic& control, bool visible) {
  ::ShowWindow(WindowOf(control), visible ? SW_SHOW : SW_HIDE);
}

void PlatformInvalidateStatic(CStatic& control) { InvalidateRect(WindowOf(control), nullptr, FALSE); }

void PlatformUpdateStatic(CStatic& control) { ::UpdateWindow(WindowOf(control)); }

// InvalidateRect is safe from any thread and never waits for the window's thread.
void PlatformInvalidateStaticFromAnyThread(CStatic& control) { InvalidateRect(WindowOf(control), nullptr, FALSE); }

void PlatformPaintStaticPixels(CStatic& control, const std::uint8_t* rgb, int width, int height) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(WindowOf(control), &paint);
  if (width > 0 && height > 0) {
    // A device-independent bitmap holds blue, green, red, rows padded to four bytes.
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    std::vector<std::uint8_t> bgr(stride * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* from = rgb + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
      std::uint8_t* to = bgr.data() + static_cast<std::size_t>(y) * stride;
      for (int x = 0; x < width; ++x, from += 3, to += 3) {
        to[0] = from[2];
        to[1] = from[1];
        to[2] = from[0];
      }
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), bgr.data(), &info, DIB_RGB_COLORS);
  }
  EndPaint(WindowOf(control), &paint);
}

void PlatformSetHandCursor(CStatic&) { SetCursor(LoadCursorW(nullptr, IDC_HAND)); }

void PlatformSetStaticTimer(CStatic& control, unsigned id, unsigned intervalMs) {
  ::SetTimer(WindowOf(control), id, intervalMs, nullptr);
}

void PlatformKillStaticTimer(CStatic& control, unsigned id) { ::KillTimer(WindowOf(control), id); }
