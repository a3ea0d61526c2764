// Static child controls of a dialog: the framework's stand-in for CStatic, over Win32 on
// Windows and the dialog's GDK window on Linux.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "framework/dialog.h"

// The messages a control's message map may meet, numbered as on Windows.
inline constexpr unsigned kWmDestroy = 0x0002;
inline constexpr unsigned kWmEraseBkgnd = 0x0014;
inline constexpr unsigned kWmSetCursor = 0x0020;
inline constexpr unsigned kWmTimer = 0x0113;
inline constexpr unsigned kWmMouseMove = 0x0200;
inline constexpr unsigned kWmLButtonDown = 0x0201;

// A point in a mouse message's lParam: x in the low 16 bits, y in the next 16, each signed.
inline LPARAM_T MakePointParam(int x, int y) {
  return static_cast<LPARAM_T>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) | static_cast<std::uint32_t>(x & 0xFFFF));
}
inline int PointParamX(LPARAM_T lParam) { return static_cast<std::int16_t>(lParam & 0xFFFF); }
inline int PointParamY(LPARAM_T lParam) { return static_cast<std::int16_t>((lParam >> 16) & 0xFFFF); }

struct CStaticPlatform;

// A static control: a child of a dialog, bound to it by id (DDX_Control). On Windows it is the
// child window itself, whose messages are routed to this object; on Linux it is a rectangle of
// the dialog's window that the dialog paints through the control and passes the pointer's
// events to. Messages arrive as on Windows: WM_SETCURSOR before each WM_MOUSEMOVE and press,
// WM_ERASEBKGND and WM_PAINT when it shows, WM_TIMER, and WM_DESTROY when the dialog goes.
class CStatic : public CWnd {
 public:
  CStatic() = default;
  ~CStatic() override;  // unbinds; no message reaches the object afterwards
  CStatic(const CStatic&) = delete;
  CStatic& operator=(const CStatic&) = delete;

  // The message map: a result for the messages this control handles, nullopt to leave a
  // message to the default processing of a static control.
  virtual std::optional<LRESULT_T> OnControlMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam);
  LRESULT_T OnMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) final;

  bool IsBound() const { return m_platform != nullptr; }
  // The client rectangle: at (0, 0), the control's size; empty while unbound.
  CRect GetClientRect() const;
  // Where the control sits in its parent's client area, and the parent's client size.
  CRect GetPlacementInParent() const;
  CRect GetParentClientRect() const;
  // The colour (0xRRGGBB) of the control's pixel (x, y) as the screen shows it now.
  std::uint32_t ScreenColourAt(int x, int y) const;

  void ShowWindow(bool visible);
  // Marks the whole control for repainting, without erasing; UpdateWindow then repaints what is
  // marked before it returns.
  void Invalidate();
  void UpdateWindow();
  // From any thread: marks the whole control for repainting and returns at once, never waiting
  // for the window's thread, which repaints the control when it next sees to its window.
  void InvalidateFromAnyThread();
  // Puts the control's whole image on the screen at (0, 0) from 24-bit R, G, B pixels in
  // top-down rows; the paint handler's one drawing call. Outside a paint it draws nothing.
  void PaintPixels(const std::uint8_t* rgb, int width, int height);
  // The system's hand cursor over the control, until the next cursor request.
  void SetHandCursor();

  // Timer id fires WM_TIMER every intervalMs while the window's thread sees to its messages.
  void SetTimer(unsigned id, unsigned intervalMs);
  void KillTimer(unsigned id);
  bool HasTimer(unsigned id) const;

  // Bound by DDX_Control; null while unbound.
  CDialog* m_dialog = nullptr;
  int m_controlId = 0;
  CStaticPlatform* m_platform = nullptr;

 private:
  friend void PlatformUnbindStatic(CStatic& control);  // the timers go with the window
  std::vector<unsigned> m_timers;
};

// Binds the dialog's child control id to control, so that the child's messages reach control.
void DDX_Control(CDataExchange* dx, int id, CStatic& control);
