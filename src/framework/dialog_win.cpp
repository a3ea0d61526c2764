// The dialog stand-ins over Win32: a modeless dialog from the program's dialog resource, the
// common progress control, BeginPaint/EndPaint, and the foreground request.
#include <windows.h>
// The common controls' header needs the types of windows.h first.
#include <commctrl.h>

#include <iterator>

#include "framework/dialog_platform.h"
#include "system/system32_win.h"

static_assert(kWmPaint == WM_PAINT);

struct CDialogPlatform {
  HWND window = nullptr;
};

namespace {
HWND WindowOf(const CDialog& dialog) { return dialog.m_platform->window; }

// The dialog font's base units at 96 dpi, whatever the screen's resolution: the font the dialog
// manager chose, asked for at its 96-dpi height and measured as the dialog manager measures it.
// Zero where it cannot be measured.
CBaseUnits BaseUnitsAt96Dpi(HWND window, const CDialogTemplate& layout) {
  constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  constexpr int kPointsPerInch = 72;
  LOGFONTW description{};
  auto* dialogFont = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  if (dialogFont == nullptr || GetObjectW(dialogFont, sizeof description, &description) == 0) return {};
  description.lfHeight = -MulDiv(layout.fontPoints, kLayoutDpi, kPointsPerInch);
  description.lfWidth = 0;
  HFONT font = CreateFontIndirectW(&description);
  if (font == nullptr) return {};
  HDC screen = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(screen, font);
  TEXTMETRICW metrics{};
  SIZE letters{};
  const bool measured =
      GetTextMetricsW(screen, &metrics) != FALSE &&
      GetTextExtentPoint32W(screen, kLetters, static_cast<int>(std::size(kLetters) - 1), &letters) != FALSE;
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  DeleteObject(font);
  return measured ? BaseUnitsOfLetters(letters.cx, metrics.tmHeight) : CBaseUnits{};
}

// Off 96 dpi the window and its controls get the 96-dpi layout scaled by the resolution
// (DialogUnitsToPixelsAt) instead of the dialog manager's own: "MS Sans Serif" comes in a few
// pixel sizes only, and those do not grow in step with the resolution (under wine: 7 x 13 at
// 96 dpi, 10 x 19 at 144 and 13 x 24 at 192, where 10.5 x 19.5 and 14 x 26 keep the
// proportions), so the window came out 1.43 times wider but 1.46 times taller at 150 %, the
// picture lost its aspect and the bar its place. The window keeps the centre the dialog
// manager gave it. At 96 dpi nothing moves.
void ScaleLayoutToScreen(HWND window, const CDialogTemplate& layout) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (dpi == kLayoutDpi) return;
  const CBaseUnits base = BaseUnitsAt96Dpi(window, layout);
  if (base.cx <= 0 || base.cy <= 0) return;
  for (const CControlTemplate& control : layout.controls) {
    const CRect r = DialogUnitsToPixelsAt(control.units, base, dpi);
    MoveWindow(GetDlgItem(window, control.id), r.left, r.top, r.Width(), r.Height(), FALSE);
  }
  const CRect client = DialogUnitsToPixelsAt({0, 0, layout.width, layout.height}, base, dpi);
  RECT frame{0, 0, client.Width(), client.Height()};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
  RECT placed{};
  GetWindowRect(window, &placed);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(window, nullptr, (placed.left + placed.right - width) / 2, (placed.top + placed.bottom - height) / 2,
               width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    ScaleLayoutToScreen(window, dialog->Layout());
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
    dialog->m_platform = new CDialogPlatform{window};
    dialog->m_nativeHandle = window;
    return dialog->OnInitDialog() ? TRUE : FALSE;
  }
  auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (dialog == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    delete dialog->m_platform;
    dialog->m_platform = nullptr;
    dialog->m_nativeHandle = nullptr;
    return FALSE;
  }
  const std::optional<LRESULT_T> result = dialog->OnDialogMessage(message, wParam, lParam);
  if (!result) return FALSE;
  SetWindowLongPtrW(window, DWLP_MSGRESULT, static_cast<LONG_PTR>(*result));
  return TRUE;
}

HWND ControlWindow(const CProgressCtrl& control) { return static_cast<HWND>(control.m_nativeHandle); }

using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);

SetWindowThemeFn LoadSetWindowTheme() {
  // uxtheme.dll is not a KnownDLL: taken from System32 only, never from Setup's own folder.
  return System32Entry<SetWindowThemeFn>(LoadSystem32Library(L"uxtheme.dll"), "SetWindowTheme");
}

// With Common Controls 6 the themed bar glides to each new position on timers, which only a
// message loop runs; Setup never has one, so on Vista and later the bar would lag far behind the
// download or stay nearly empty. Without a theme the control draws the classic continuous fill
// (PBS_SMOOTH), which shows a new position as soon as the bar is repainted. Only the bar loses
// its theme: the message boxes keep theirs. Where uxtheme.dll cannot be loaded the bar stays as
// it is.
void DrawBarWithoutTheme(HWND bar) {
  static const SetWindowThemeFn setWindowTheme = LoadSetWindowTheme();
  // A class list that names no theme class: Windows documents an empty one, but wine rejects
  // empty names, and both take a blank one.
  if (setWindowTheme == nullptr || FAILED(setWindowTheme(bar, L" ", L" "))) return;
  // The classic bar asks for a sunken edge on the theme change; without a frame change the
  // edge would never be laid out, and the bar's empty part would melt into the window.
  SetWindowPos(bar, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace

bool PlatformCreateDialog(CDialog& dialog) {
  // The progress control's window class exists only once the common controls are initialised.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  HWND parent = dialog.Parent() != nullptr ? static_cast<HWND>(dialog.Parent()->m_nativeHandle) : nullptr;
  HWND window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialog.TemplateId()), parent, DialogProc,
                                   reinterpret_cast<LPARAM>(&dialog));
  if (window == nullptr && dialog.m_platform != nullptr) {
    delete dialog.m_platform;
    dialog.m_platform = nullptr;
    dialog.m_nativeHandle = nullptr;
  }
  return window != nullptr;
}

void PlatformDestroyDialog(CDialog& dialog) { ::DestroyWindow(WindowOf(dialog)); }

void PlatformSetWindowText(CDialog& dialog, const std::wstring& text) {
  SetWindowTextW(WindowOf(dialog), text.c_str());
}

CRect PlatformDlgItemClientRect(const CDialog& dialog, int id) {
  RECT rect{};
  GetWindowRect(GetDlgItem(WindowOf(dialog), id), &rect);
  MapWindowPoints(HWND_DESKTOP, WindowOf(dialog), reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

CRect PlatformClientScreenRect(const CDialog& dialog) {
  RECT rect{};
  GetClientRect(WindowOf(dialog), &rect);
  MapWindowPoints(WindowOf(dialog), HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

void PlatformSetTopmost(CDialog& dialog, bool topmost) {
  SetWindowPos(WindowOf(dialog), topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void PlatformRedrawDialog(CDialog& dialog) {
  InvalidateRect(WindowOf(dialog), nullptr, TRUE);
  // The child controls too: without a message loop a control left out would stay unpainted
  // until its own next repaint (the progress bar: the first chunk of the first download).
  RedrawWindow(WindowOf(dialog), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void PlatformBindProgress(CDialog& dialog, int id, CProgressCtrl& control) {
  control.m_nativeHandle = dialog.m_platform != nullptr ? GetDlgItem(WindowOf(dialog), id) : nullptr;
  if (control.m_nativeHandle != nullptr) DrawBarWithoutTheme(ControlWindow(control));
}

void PlatformSendProgressRange(CProgressCtrl& control, bool sixteenBit, std::int32_t lower, std::int32_t upper) {
  if (ControlWindow(control) == nullptr) return;
  if (sixteenBit) {
    SendMessageW(ControlWindow(control), PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
  } else {
    SendMessageW(ControlWindow(control), PBM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
  }
}

void PlatformSendProgressPosition(CProgressCtrl& control, std::int32_t position) {
  if (ControlWindow(control) != nullptr)
    SendMessageW(ControlWindow(control), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void PlatformRedrawProgress(CProgressCtrl& control) {
  if (ControlWindow(control) == nullptr) return;
  // A new position invalidates exactly the part of the bar it changes, to the pixel. With
  // nothing invalid, a forced repaint would put the same pixels on the screen again: a large
  // file sends a message per kilobyte, and most of them move the bar by less than a pixel.
  if (GetUpdateRect(ControlWindow(control), nullptr, FALSE) == FALSE) return;
  InvalidateRect(ControlWindow(control), nullptr, TRUE);
  RedrawWindow(ControlWindow(control), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

CPaintDC::CPaintDC(CDialog& window) : m_window(window) {
  if (!window.IsWindowCreated()) return;
  auto* paint = new PAINTSTRUCT{};
  BeginPaint(window.m_platform->window, paint);
  m_paint = paint;
}

CPaintDC::~CPaintDC() {
  auto* paint = static_cast<PAINTSTRUCT*>(m_paint);
  if (paint == nullptr) return;
  if (m_window.IsWindowCreated()) EndPaint(m_window.m_platform->window, paint);
  delete paint;
}

void* CPaintDC::Context() const { return m_paint != nullptr ? static_cast<PAINTSTRUCT*>(m_paint)->hdc : nullptr; }

void BringWindowToForeground(CDialog& window) {
  if (!window.IsWindowCreated()) return;
  // A program may take the foreground only while the input of the thread that owns the current
  // foreground window is attached to its own.
  const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  const DWORD thisThread = GetCurrentThreadId();
  const bool attached = foregroundThread != 0 && foregroundThread != thisThread &&
                        AttachThreadInput(foregroundThread, thisThread, TRUE) != FALSE;
  SetForegroundWindow(window.m_platform->window);
  SetFocus(window.m_platform->window);
  if (attached) AttachThreadInput(foregroundThread, thisThread, FALSE);
}
