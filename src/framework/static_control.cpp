// Platform-independent parts of the static control (see static_control.h).
#include "framework/static_control.h"

#include <algorithm>

#include "framework/dialog_platform.h"

CStatic::~CStatic() {
  if (IsBound()) PlatformUnbindStatic(*this);
}

std::optional<LRESULT_T> CStatic::OnControlMessage(unsigned, WPARAM_T, LPARAM_T) { return std::nullopt; }

LRESULT_T CStatic::OnMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) {
  if (const std::optional<LRESULT_T> result = OnControlMessage(message, wParam, lParam)) return *result;
  return IsBound() ? PlatformDefaultStaticMessage(*this, message, wParam, lParam) : 0;
}

CRect CStatic::GetClientRect() const { return IsBound() ? PlatformStaticClientRect(*this) : CRect{}; }

CRect CStatic::GetPlacementInParent() const {
  return IsBound() ? m_dialog->GetDlgItemClientRect(m_controlId) : CRect{};
}

CRect CStatic::GetParentClientRect() const {
  if (!IsBound()) return {};
  const CRect screen = m_dialog->GetClientScreenRect();
  return {0, 0, screen.Width(), screen.Height()};
}

std::uint32_t CStatic::ScreenColourAt(int x, int y) const {
  return IsBound() ? PlatformScreenColourAt(*this, x, y) : 0;
}

void CStatic::ShowWindow(bool visible) {
  if (IsBound()) PlatformShowStatic(*this, visible);
}

void CStatic::Invalidate() {
  if (IsBound()) PlatformInvalidateStatic(*this);
}

void CStatic::UpdateWindow() {
  if (IsBound()) PlatformUpdateStatic(*this);
}

void CStatic::InvalidateFromAnyThread() {
  if (IsBound()) PlatformInvalidateStaticFromAnyThread(*this);
}

void CStatic::PaintPixels(const std::uint8_t* rgb, int width, int height) {
  if (IsBound()) PlatformPaintStaticPixels(*this, rgb, width, height);
}

void CStatic::SetHandCursor() {
  if (IsBound()) PlatformSetHandCursor(*this);
}

void CStatic::SetTimer(unsigned id, unsigned intervalMs) {
  if (!HasTimer(id)) m_timers.push_back(id);
  if (IsBound()) PlatformSetStaticTimer(*this, id, intervalMs);
}

void CStatic::KillTimer(unsigned id) {
  std::erase(m_timers, id);
  if (IsBound()) PlatformKillStaticTimer(*this, id);
}

bool CStatic::HasTimer(unsigned id) const { return std::find(m_timers.begin(), m_timers.end(), id) != m_timers.end(); }

void DDX_Control(CDataExchange* dx, int id, CStatic& control) {
  control.m_dialog = &dx->m_dialog;
  control.m_controlId = id;
  if (dx->m_dialog.IsWindowCreated()) PlatformBindStatic(dx->m_dialog, id, control);
}
