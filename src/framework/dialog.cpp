// Platform-independent parts of the dialog stand-ins: dialog-unit conversion, the progress
// control's range, position and scaling, and message routing (see dialog.h).
#include "framework/dialog.h"

#include <algorithm>
#include <limits>

#include "framework/dialog_platform.h"

int MulDivRound(int value, int numerator, int denominator) {
  if (denominator == 0) return -1;  // as MulDiv answers
  long long product = static_cast<long long>(value) * numerator;
  long long divisor = denominator;
  if (divisor < 0) {
    product = -product;
    divisor = -divisor;
  }
  const long long half = divisor / 2;
  return static_cast<int>(product >= 0 ? (product + half) / divisor : -((-product + half) / divisor));
}

CRect DialogUnitsToPixels(const CRect& units, CBaseUnits base) {
  const int left = MulDivRound(units.left, base.cx, 4);
  const int top = MulDivRound(units.top, base.cy, 8);
  return {left, top, left + MulDivRound(units.Width(), base.cx, 4), top + MulDivRound(units.Height(), base.cy, 8)};
}

CBaseUnits BaseUnitsOfLetters(int lettersWidth, int cellHeight) { return {(lettersWidth / 26 + 1) / 2, cellHeight}; }

CRect DialogUnitsToPixelsAt(const CRect& units, CBaseUnits base96, int dpi) {
  const CRect pixels = DialogUnitsToPixels(units, base96);
  return {MulDivRound(pixels.left, dpi, kLayoutDpi), MulDivRound(pixels.top, dpi, kLayoutDpi),
          MulDivRound(pixels.right, dpi, kLayoutDpi), MulDivRound(pixels.bottom, dpi, kLayoutDpi)};
}

namespace {
constexpr std::int64_t kControlMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kControlMin = std::numeric_limits<std::int32_t>::min();
}  // namespace

void CProgressCtrl::SetRange(short lower, short upper) {
  m_bar.SetRange(lower, upper);
  m_scaled = false;
  m_divisor = 1;
  SendRange(true);
}

void CProgressCtrl::SetRange64(std::int64_t lower, std::int64_t upper) {
  const bool wasScaled = m_scaled;
  m_bar.SetRange(lower, upper);
  m_scaled = m_bar.Lower() < kControlMin || m_bar.Upper() > kControlMax;
  // The smallest divisor that brings the whole span within the control's 32 bits.
  const std::uint64_t span = static_cast<std::uint64_t>(m_bar.Upper()) - static_cast<std::uint64_t>(m_bar.Lower());
  m_divisor = m_scaled ? static_cast<std::int64_t>(span / static_cast<std::uint64_t>(kControlMax) + 1) : 1;
  SendRange(false);
  // The control keeps its own position across a range change; a scaled one needs it anew.
  if (m_scaled || wasScaled) SendPosition();
}

void CProgressCtrl::SetPos(std::int64_t position) {
  m_bar.SetPosition(position);
  SendPosition();
}

void CProgressCtrl::OffsetPos(std::uint64_t amount) {
  const auto most = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  m_bar.Advance(static_cast<std::int64_t>(std::min(amount, most)));
  SendPosition();
}

void CProgressCtrl::RedrawNow() { PlatformRedrawProgress(*this); }

std::int32_t CProgressCtrl::ToControl(std::int64_t value) const {
  if (!m_scaled) return static_cast<std::int32_t>(value);
  const std::uint64_t offset = static_cast<std::uint64_t>(value) - static_cast<std::uint64_t>(m_bar.Lower());
  return static_cast<std::int32_t>(offset / static_cast<std::uint64_t>(m_divisor));
}

CProgressCtrl::CControlState CProgressCtrl::ControlState() const {
  return {ToControl(m_bar.Lower()), ToControl(m_bar.Upper()), ToControl(m_bar.Position())};
}

void CProgressCtrl::SendRange(bool sixteenBit) {
  const CControlState state = ControlState();
  PlatformSendProgressRange(*this, sixteenBit, state.lower, state.upper);
}

void CProgressCtrl::SendPosition() { PlatformSendProgressPosition(*this, ControlState().position); }

void DDX_Control(CDataExchange* dx, int id, CProgressCtrl& control) {
  control.m_dialog = &dx->m_dialog;
  control.m_controlId = id;
  PlatformBindProgress(dx->m_dialog, id, control);
}

CDialog::CDialog(unsigned templateId, const CDialogTemplate& layout, CWnd* parent)
    : m_templateId(templateId), m_layout(layout), m_parent(parent) {}

CDialog::~CDialog() { DestroyWindow(); }

bool CDialog::Create() {
  if (IsWindowCreated()) return true;
  return PlatformCreateDialog(*this);
}

void CDialog::DestroyWindow() {
  if (IsWindowCreated()) PlatformDestroyDialog(*this);
}

bool CDialog::OnInitDialog() {
  CDataExchange exchange(*this);
  DoDataExchange(&exchange);
  return true;
}

std::optional<LRESULT_T> CDialog::OnDialogMessage(unsigned, WPARAM_T, LPARAM_T) { return std::nullopt; }

LRESULT_T CDialog::OnMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) {
  return OnDialogMessage(message, wParam, lParam).value_or(0);
}

void CDialog::SetWindowText(const std::wstring& text) {
  m_windowText = text;
  if (IsWindowCreated()) PlatformSetWindowText(*this, text);
}

std::wstring CDialog::GetWindowText() const { return m_windowText; }

CRect CDialog::GetDlgItemClientRect(int id) const {
  return IsWindowCreated() ? PlatformDlgItemClientRect(*this, id) : CRect{};
}

CRect CDialog::GetClientScreenRect() const { return IsWindowCreated() ? PlatformClientScreenRect(*this) : CRect{}; }

void CDialog::SetTopmost(bool topmost) {
  if (IsWindowCreated()) PlatformSetTopmost(*this, topmost);
}

void CDialog::RedrawNow() {
  if (IsWindowCreated()) PlatformRedrawDialog(*this);
}
