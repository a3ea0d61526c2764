// The picture control's paint on plain pixel buffers (see picture_composer.h).
#include "ui/picture_composer.h"

#include <algorithm>
#include <limits>

namespace {

// Resource ids are 16-bit on every platform; the higher bits of the setting say nothing.
constexpr unsigned kResourceIdMask = 0xFFFF;
// Text 2 sits between texts 1 and 3 with a fifth of their height to spare.
constexpr double kLineSpacing = 1.2;

CPixelBuffer FreshBuffer(int width, int height) {
  CPixelBuffer buffer(width, height);
  FillRect(buffer, {0, 0, width, height}, kFreshBufferColour);
  return buffer;
}

CPictureKey CutToResourceId(CPictureKey key) {
  key.resourceId &= kResourceIdMask;
  return key;
}

// A line's height in pixels: its size in tenths at the reference height, scaled to the client
// height. A control without height draws its texts nowhere, so it needs no size for them.
int LineHeight(int clientHeight, int size, int referenceHeight) {
  const std::int64_t divisor = std::int64_t{referenceHeight} * 10;
  if (divisor == 0) return 0;
  const std::int64_t height = std::int64_t{clientHeight} * size / divisor;
  return static_cast<int>(
      std::clamp<std::int64_t>(height, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

bool CPictureComposer::Compose(int width, int height, CPictureSettings& settings, int& marqueeOffset,
                               CPictureHost& host) {
  const CRect client{0, 0, std::max(width, 0), std::max(height, 0)};
  const int inset = settings.frameWidth / 2;
  const CRect inner{client.left + inset, client.top + inset, client.right - inset, client.bottom - inset};
  const bool sameSize = m_cachedClient && *m_cachedClient == client;
  if (!sameSize) m_composition = FreshBuffer(client.Width(), client.Height());
  if (!m_background || !sameSize || CutToResourceId(settings.picture) != m_loadedKey) {
    RebuildBackground(client, inner, settings, host);
  }
  CopyPixels(m_composition, 0, 0, *m_background);
  bool marquee = false;
  if (!settings.hideTexts) marquee = DrawTexts(client, inner, settings, marqueeOffset, host.Fonts());
  host.OnDrawOverlay(m_composition, inner);
  m_cachedClient = client;
  return marquee;
}

void CPictureComposer::RebuildBackground(const CRect& client, const CRect& inner, const CPictureSettings& settings,
                                         CPictureHost& host) {
  ++m_rebuilds;
  m_background = FreshBuffer(client.Width(), client.Height());
  if (settings.transparentPicture || settings.backgroundFromParent) {
    const unsigned parentId = settings.parentBackgroundId & kResourceIdMask;
    if (parentId == 0) {
      DrawParentBackground(*m_background, nullptr, host.ParentView());
    } else if (const std::optional<CPixelBuffer> parentPicture = host.LoadBitmap({parentId, 0})) {
      DrawParentBackground(*m_background, &*parentPicture, host.ParentView());
    }
  }
  if (settings.picture.IsSet()) {
    LoadPicture(CutToResourceId(settings.picture), host);
    const CPictureFit fit{settings.scaleWholePicture, settings.keepAspect, settings.transparentPicture};
    m_drawnPictureRect = DrawPicture(*m_background, settings.pictureInsideFrame ? inner : client, *m_picture, fit);
    if (!settings.hideGrid && (settings.gridRows != 0 || settings.gridColumns != 0)) {
      DrawGrid(*m_background, inner, settings.gridRows, settings.gridColumns, settings.gridColour1,
               settings.gridColour2);
    }
    host.OnDrawBackground(*m_background, inner);
  } else {
    m_loadedKey = {};
  }
  if (settings.drawFrame) DrawBevelFrame(*m_background, client, settings.frameWidth);
}

void CPictureComposer::LoadPicture(const CPictureKey& key, CPictureHost& host) {
  if (m_picture && key == m_loadedKey) return;
  m_loadedKey = key;
  // A key without a bitmap still counts as loaded, so that it is not asked for at every paint.
  std::optional<CPixelBuffer> loaded = host.LoadBitmap(key);
  m_picture = loaded ? std::move(*loaded) : CPixelBuffer();
}

bool CPictureComposer::DrawTexts(const CRect& client, const CRect& inner, CPictureSettings& settings,
                                 int& marqueeOffset, CFontRenderer& fonts) {
  if (settings.referenceHeight == 0) settings.referenceHeight = client.Height();
  const auto style = [&](const CPictureTextLine& line) {
    return CTextLineStyle{settings.fontFace,
                          LineHeight(client.Height(), line.size, settings.referenceHeight),
                          line.flags,
                          line.colour,
                          settings.shadowColour,
                          settings.frameWidth};
  };
  const auto shown = [&](const CPictureTextLine& line) {
    return !line.text.empty() && (!line.blink || settings.blinkVisible);
  };
  const auto& [first, second, third] = settings.lines;
  bool tooWide = false;
  if (shown(first)) tooWide = DrawTextLine(m_composition, fonts, inner, first.text, style(first), marqueeOffset);
  if (shown(second)) {
    // Measured in the buffer's default font, which every line restores after drawing.
    const int above = static_cast<int>(kLineSpacing * fonts.Measure(CFontRequest{}, first.text).height);
    const int below = static_cast<int>(kLineSpacing * fonts.Measure(CFontRequest{}, third.text).height);
    const CRect between{inner.left, inner.top + above, inner.right, inner.bottom - below};
    DrawTextLine(m_composition, fonts, between, second.text, style(second), marqueeOffset);
  }
  if (shown(third)) DrawTextLine(m_composition, fonts, inner, third.text, style(third), marqueeOffset);
  return tooWide;
}

void CPictureComposer::Release() {
  m_composition = CPixelBuffer();
  m_background.reset();
  m_picture.reset();
  m_cachedClient.reset();
}
