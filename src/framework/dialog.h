// Dialog windows made from templates, the progress control and painting: the framework's
// stand-ins for the Windows dialog classes, over Win32 on Windows and GTK 3 on a Linux display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/framework.h"
#include "framework/progress_bar_model.h"

// Message numbers as on Windows: painting, and a control's notification to its parent
// (wParam: the control's id, and in the high 16 bits the notification; 0 = a press).
inline constexpr unsigned kWmPaint = 0x000F;
inline constexpr unsigned kWmCommand = 0x0111;
inline constexpr unsigned kStnClicked = 0;

struct CRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const CRect&) const = default;
};

// A font's average character width and its height in pixels: what dialog units measure.
struct CBaseUnits {
  int cx = 0;
  int cy = 0;
};

// value × numerator / denominator, rounded half away from zero, as Windows' MulDiv does.
int MulDivRound(int value, int numerator, int denominator);
// Dialog units to pixels: a horizontal unit is a quarter of the average character width, a
// vertical unit an eighth of the character height. Position and size are rounded each on its
// own, as a template holds them.
CRect DialogUnitsToPixels(const CRect& units, CBaseUnits base);
// The base units of a font from the width of the 52 letters A-Z a-z and its cell height: the
// average width rounded as Windows rounds it for dialog units.
CBaseUnits BaseUnitsOfLetters(int lettersWidth, int cellHeight);

// The screen resolution at which a template's pixels are laid out first: Windows' 100 %.
inline constexpr int kLayoutDpi = 96;
// Dialog units to pixels on a screen of dpi dots per inch: laid out with the font's base units
// at 96 dpi, then every edge scaled by dpi / 96 (rounded as MulDiv rounds). A font measured at
// the screen's own resolution comes in whole pixels (a bitmap font only in a few sizes), so its
// base units do not grow in step with the resolution and the window's proportions would drift;
// scaled edges keep neighbouring controls touching where they touch at 96 dpi.
CRect DialogUnitsToPixelsAt(const CRect& units, CBaseUnits base96, int dpi);

// What a platform without dialog resources builds a dialog from (Windows reads the resource
// with the same id; a test holds the two side by side).
struct CControlTemplate {
  enum class Kind { BlackRectangle, ProgressBar };
  int id = 0;
  Kind kind = Kind::BlackRectangle;
  CRect units;  // left, top, right, bottom in dialog units
  bool visible = false;
  // A static control with the notify style gets the pointer's messages and tells its parent of
  // presses; without it the pointer passes through to the parent, as on Windows.
  bool notify = false;
};
struct CDialogTemplate {
  int width = 0;  // client area, dialog units
  int height = 0;
  std::wstring fontName;
  int fontPoints = 0;
  std::vector<CControlTemplate> controls;
};

class CDialog;

// Carries the dialog to DoDataExchange, as the framework's data exchange does.
class CDataExchange {
 public:
  explicit CDataExchange(CDialog& dialog) : m_dialog(dialog) {}
  CDialog& m_dialog;
};

// A progress bar: a range and a position kept inside it (CProgressBarModel). A range wider
// than the platform control's 32 bits is scaled down for the control, so the bar shows the
// same fraction; positions and reads stay exact and 64-bit.
class CProgressCtrl : public CWnd {
 public:
  // The 16-bit range request.
  void SetRange(short lower, short upper);
  // The 32-bit range request, widened: any range of 64-bit positions.
  void SetRange64(std::int64_t lower, std::int64_t upper);
  void SetPos(std::int64_t position);
  // The position as the bar reports it: always within the range.
  std::int64_t GetPos() const { return m_bar.Position(); }
  // Adds to the position as read back; an overshoot leaves the bar full.
  void OffsetPos(std::uint64_t amount);
  // Invalidates the bar with erasing and repaints it before returning, without a message loop.
  void RedrawNow();

  const CProgressBarModel& Model() const { return m_bar; }
  // Range and position as the platform control holds them (the scaled values).
  struct CControlState {
    std::int32_t lower = 0;
    std::int32_t upper = 0;
    std::int32_t position = 0;
  };
  CControlState ControlState() const;

  // Bound by DDX_Control.
  CDialog* m_dialog = nullptr;
  int m_controlId = 0;

 private:
  std::int32_t ToControl(std::int64_t value) const;
  void SendRange(bool sixteenBit);
  void SendPosition();

  CProgressBarModel m_bar;
  // Control value = (value - lower) / m_divisor when the range is wider than 32 bits.
  std::int64_t m_divisor = 1;
  bool m_scaled = false;
};

// Binds the dialog's child control id to control, so that calls on control reach that child.
void DDX_Control(CDataExchange* dx, int id, CProgressCtrl& control);

struct CDialogPlatform;

// A modeless dialog made from a template, with no message loop of its own: every message
// reaches OnDialogMessage synchronously, and repaints happen before the request returns.
class CDialog : public CWnd {
 public:
  CDialog(unsigned templateId, const CDialogTemplate& layout, CWnd* parent);
  ~CDialog() override;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Creates the window from the template, visible and centred; the controls are bound and
  // OnInitDialog runs during creation. False when no window could be made.
  bool Create();
  void DestroyWindow();
  bool IsWindowCreated() const { return m_platform != nullptr; }

  // Base: the data exchange. Returns true.
  virtual bool OnInitDialog();
  virtual void DoDataExchange(CDataExchange*) {}
  // The message map: a result for the messages this dialog handles, nullopt to leave a
  // message to the platform's default handling.
  virtual std::optional<LRESULT_T> OnDialogMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam);
  LRESULT_T OnMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) final;

  void SetWindowText(const std::wstring& text);
  std::wstring GetWindowText() const;
  // The window rectangle of a child control, in this window's client coordinates.
  CRect GetDlgItemClientRect(int id) const;
  // The client area in screen coordinates.
  CRect GetClientScreenRect() const;
  // Puts the window into (or out of) the topmost band and shows it, without moving or sizing.
  void SetTopmost(bool topmost);
  // Invalidates the whole client area with erasing and repaints it before returning.
  void RedrawNow();

  unsigned TemplateId() const { return m_templateId; }
  const CDialogTemplate& Layout() const { return m_layout; }
  CWnd* Parent() const { return m_parent; }

  // Platform state while the window exists; null before Create and after DestroyWindow.
  CDialogPlatform* m_platform = nullptr;
  std::wstring m_windowText;

 private:
  unsigned m_templateId;
  const CDialogTemplate& m_layout;
  CWnd* m_parent;
};

// The paint context of a window's paint handler: a device context on Windows, a Cairo
// context on Linux.
class CPaintDC {
 public:
  explicit CPaintDC(CDialog& window);
  ~CPaintDC();
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  // HDC on Windows, cairo_t* on Linux; null when the window does not exist.
  void* Context() const;

 private:
  CDialog& m_window;
  void* m_paint = nullptr;  // the platform's paint record
};

// Brings window to the front and gives it the keyboard focus, even when another program's
// window is in front.
void BringWindowToForeground(CDialog& window);
