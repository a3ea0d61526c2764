// The picture controls (see picture_static.h).
#include "ui/picture_static.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {
// The marquee moves every 20 ms by a 250th of the control's width, so that its text crosses
// the control in about five seconds.
constexpr auto kMarqueeTick = std::chrono::milliseconds(20);
constexpr int kMarqueeTickMs = 20;
constexpr int kMarqueeCrossingMs = 5000;
// WM_SETCURSOR's answer when the control has set the cursor itself.
constexpr LRESULT_T kCursorSet = 1;

CRgb FromColourValue(std::uint32_t colour) {
  return {static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
          static_cast<std::uint8_t>(colour)};
}
}  // namespace

int MarqueeStep(int width) { return std::max(1, width * kMarqueeTickMs / kMarqueeCrossingMs); }

CPictureStatic::CPictureStatic() = default;

CPictureStatic::~CPictureStatic() {
  StopMarquee();
  // A handle given to the control is the control's, whether or not a paint has read it.
  if (m_ownedHandle != 0) DeletePictureHandle(m_ownedHandle);
  if (m_settings.picture.handle != 0 && m_settings.picture.handle != m_ownedHandle)
    DeletePictureHandle(m_settings.picture.handle);
}

std::optional<LRESULT_T> CPictureStatic::OnControlMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) {
  switch (message) {
    case kWmTimer:
      return OnTimer(static_cast<unsigned>(wParam));
    case kWmPaint:
      OnPaint();
      return 0;
    case kWmSetCursor:
      return OnSetCursor();
    case kWmEraseBkgnd:
      return OnEraseBkgnd() ? 1 : 0;
    case kWmDestroy:
      OnDestroy();
      return std::nullopt;  // the static control's own clean-up follows
    case WM_PICTURE_SETREFHEIGHT:
      return OnSetRefHeight(wParam, lParam);
    default:
      return CStatic::OnControlMessage(message, wParam, lParam);
  }
}

void CPictureStatic::PaintBuffers(int width, int height) {
  int offset = m_marqueeOffset.load();
  const int before = offset;
  const bool tooWide = m_composer.Compose(width, height, m_settings, offset, *this);
  // The marquee thread may have moved on meanwhile; a wrap it has not seen comes at the next paint.
  int expected = before;
  if (offset != before) m_marqueeOffset.compare_exchange_strong(expected, offset);
  // A new handle has been read by now; the one it replaces is the control's to delete.
  if (m_settings.picture.handle != m_ownedHandle) {
    if (m_ownedHandle != 0) DeletePictureHandle(m_ownedHandle);
    m_ownedHandle = m_settings.picture.handle;
  }
  m_paintedWidth.store(std::max(width, 0));
  RunMarquee(tooWide);
}

void CPictureStatic::OnPaint() {
  const CRect client = GetClientRect();
  PaintBuffers(client.Width(), client.Height());
  const CPixelBuffer& image = m_composer.Composition();
  PaintPixels(image.rgb.data(), image.width, image.height);
}

std::optional<LRESULT_T> CPictureStatic::OnSetCursor() {
  if (!m_settings.handCursor) return std::nullopt;
  SetHandCursor();
  return kCursorSet;
}

std::optional<LRESULT_T> CPictureStatic::OnTimer(unsigned id) {
  if (id != kBlinkTimerId) return std::nullopt;
  const auto& lines = m_settings.lines;
  if (std::none_of(lines.begin(), lines.end(), [](const CPictureTextLine& line) { return line.blink; })) {
    KillTimer(kBlinkTimerId);
    return 0;
  }
  m_settings.blinkVisible = !m_settings.blinkVisible;
  Invalidate();
  UpdateWindow();
  return 0;
}

// The thread has ended before the buffers go, so nothing it asks for can meet a released
// control; it never waits for this thread, so waiting for it here cannot deadlock.
void CPictureStatic::OnDestroy() {
  StopMarquee();
  KillTimer(kBlinkTimerId);
  m_marqueeRunning.store(false);
  m_composer.Release();
}

LRESULT_T CPictureStatic::OnSetRefHeight(WPARAM_T, LPARAM_T lParam) {
  m_settings.referenceHeight = static_cast<int>(lParam);
  return 0;
}

std::optional<CPixelBuffer> CPictureStatic::LoadBitmap(const CPictureKey& key) { return LoadPictureBitmap(key); }

CParentView CPictureStatic::ParentView() {
  const CRect parent = GetParentClientRect();
  return {GetPlacementInParent(), parent.Width(), parent.Height(), FromColourValue(ScreenColourAt(0, 0))};
}

CFontRenderer& CPictureStatic::Fonts() {
  if (m_testFonts != nullptr) return *m_testFonts;
  if (!m_fonts) m_fonts = CreatePlatformFontRenderer();
  return *m_fonts;
}

// A paint that finds text 1 too wide starts the marquee unless it runs; one that finds it
// fitting (or the texts hidden) asks a running marquee to stop. A thread asked to stop is
// waited for before a new one starts, so that a text that grows too wide again while the old
// thread winds down still scrolls.
void CPictureStatic::RunMarquee(bool tooWide) {
  if (!tooWide) {
    m_stopRequest.store(true);
    return;
  }
  if (m_marqueeRunning.load() && !m_stopRequest.load()) return;
  StopMarquee();
  m_stopRequest.store(false);
  m_marqueeRunning.store(true);
  if (!m_marquee.Start(MarqueeThreadProc, this, true)) m_marqueeRunning.store(false);
}

void CPictureStatic::StopMarquee() {
  m_stopRequest.store(true);
  m_marquee.Join();
}

void CPictureStatic::MarqueeThreadProc(void* argument) {
  auto& control = *static_cast<CPictureStatic*>(argument);
  while (!control.m_stopRequest.load()) {
    control.m_marqueeOffset.fetch_sub(MarqueeStep(control.m_paintedWidth.load()));
    control.InvalidateFromAnyThread();
    std::this_thread::sleep_for(kMarqueeTick);
  }
  control.m_marqueeRunning.store(false);
}

std::optional<LRESULT_T> CHotSpotStatic::OnControlMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) {
  switch (message) {
    case kWmMouseMove:
      OnMouseMove(PointParamX(lParam), PointParamY(lParam));
      return std::nullopt;  // then the default processing
    case kWmLButtonDown:
      return OnLButtonDown();
    case kWmSetCursor:
      return OnSetCursor();
    default:
      return CPictureStatic::OnControlMessage(message, wParam, lParam);
  }
}

// The loaded picture decides, not the screen: a point is transparent outside the rectangle
// the picture was drawn into and on pixels of the picture's corner colour. Without a picture
// drawn (or without a transparent one) the whole control is the hot spot.
void CHotSpotStatic::OnMouseMove(int x, int y) {
  m_overTransparentArea = false;
  const CPixelBuffer* picture = m_composer.Picture();
  if (picture == nullptr || picture->Empty() || !m_settings.transparentPicture) return;
  const CRect& drawn = m_composer.DrawnPictureRect();
  if (x < drawn.left || x >= drawn.right || y < drawn.top || y >= drawn.bottom) {
    m_overTransparentArea = true;
    return;
  }
  const auto px = static_cast<int>(std::int64_t{x - drawn.left} * picture->width / drawn.Width());
  const auto py = static_cast<int>(std::int64_t{y - drawn.top} * picture->height / drawn.Height());
  m_overTransparentArea = picture->Get(px, py) == picture->Get(0, 0);
}

std::optional<LRESULT_T> CHotSpotStatic::OnLButtonDown() {
  if (m_overTransparentArea) return 0;  // swallowed
  return std::nullopt;
}

std::optional<LRESULT_T> CHotSpotStatic::OnSetCursor() {
  if (!m_settings.handCursor) return CPictureStatic::OnSetCursor();
  if (m_overTransparentArea) return std::nullopt;  // the window's normal cursor
  SetHandCursor();
  return kCursorSet;
}
