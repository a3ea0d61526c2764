// The picture control's settings and its paint on plain pixel buffers: a background buffer
// (background, picture, grid, frame) kept until the size or the picture changes, and the
// composition of it with the text lines and the overlay that the window then shows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "framework/dialog.h"
#include "ui/picture_drawing.h"
#include "ui/picture_text.h"
#include "ui/raster.h"

// Which picture the control shows: a bitmap resource (low 16 bits used) or a bitmap handle.
struct CPictureKey {
  unsigned resourceId = 0;
  std::uintptr_t handle = 0;
  bool IsSet() const { return resourceId != 0 || handle != 0; }
  bool operator==(const CPictureKey&) const = default;
};

// One of the three text lines.
struct CPictureTextLine {
  std::wstring text;
  int size = 0;        // tenths of a pixel at the reference height
  bool blink = false;  // shown only in the visible blink phase
  int flags = 0;       // kAlign... bits
  CRgb colour;
};

// Everything that decides what the control shows, with its defaults: an empty control with
// the bevel frame.
struct CPictureSettings {
  int referenceHeight = 0;  // client height at which the text sizes apply; 0 = the next paint's
  bool backgroundFromParent = false;
  bool transparentPicture = false;  // also takes the background from the parent
  unsigned parentBackgroundId = 0;  // the bitmap the parent shows stretched over its client area
  CPictureKey picture;
  bool scaleWholePicture = false;
  bool keepAspect = false;
  bool pictureInsideFrame = false;
  bool drawFrame = true;
  int frameWidth = 8;  // the inner rectangle is inset by half of it
  bool handCursor = false;
  int gridRows = 0, gridColumns = 0;
  bool hideGrid = false;
  std::array<CPictureTextLine, 3> lines{CPictureTextLine{L"", 140, false, 0, CRgb{}}, CPictureTextLine{},
                                        CPictureTextLine{}};
  std::wstring fontFace = L"Times New Roman";
  bool blinkVisible = true;
  bool hideTexts = false;
  CRgb shadowColour{255, 255, 255};
  CRgb gridColour1{220, 220, 220};  // the lines
  CRgb gridColour2{250, 250, 250};  // their highlights
};

// A freshly made buffer, before anything is drawn on it, is mid grey: the platforms leave a
// new bitmap undefined, and on grey both the dark and the bright edges of the frame show.
inline constexpr CRgb kFreshBufferColour{128, 128, 128};

// What the paint needs from the control's window and platform.
class CPictureHost {
 public:
  virtual ~CPictureHost() = default;
  // The bitmap of a resource id (already cut to 16 bits) or of a handle; nullopt when the
  // resource or handle holds none.
  virtual std::optional<CPixelBuffer> LoadBitmap(const CPictureKey& key) = 0;
  // Asked only while the background is rebuilt from the parent.
  virtual CParentView ParentView() = 0;
  virtual CFontRenderer& Fonts() = 0;
  // Drawn into the background buffer after the picture and the grid, when there is a picture.
  virtual void OnDrawBackground(CPixelBuffer& /*buffer*/, const CRect& /*inner*/) {}
  // Drawn into the composition after the texts, at every paint.
  virtual void OnDrawOverlay(CPixelBuffer& buffer, const CRect& inner) = 0;
};

class CPictureComposer {
 public:
  // One paint at the client size width x height. A reference height of 0 in settings becomes
  // the client height; marqueeOffset goes back to 0 when the marquee has gone round. Returns
  // whether text 1 was drawn and is too wide, that is whether the marquee should run.
  bool Compose(int width, int height, CPictureSettings& settings, int& marqueeOffset, CPictureHost& host);
  // The finished image, copied to the window as it is.
  const CPixelBuffer& Composition() const { return m_composition; }

  // The loaded picture, null until a picture has been drawn once; the rectangle it was drawn
  // into last.
  const CPixelBuffer* Picture() const { return m_picture ? &*m_picture : nullptr; }
  const CRect& DrawnPictureRect() const { return m_drawnPictureRect; }

  // The next paint rebuilds the background: for a setting that shapes it (frame, grid,
  // parent background) changed after the first paint.
  void InvalidateBackground() { m_background.reset(); }
  // Frees the three buffers, when the window goes away.
  void Release();

  int BackgroundRebuildsForTesting() const { return m_rebuilds; }

 private:
  void RebuildBackground(const CRect& client, const CRect& inner, const CPictureSettings& settings, CPictureHost& host);
  void LoadPicture(const CPictureKey& key, CPictureHost& host);
  bool DrawTexts(const CRect& client, const CRect& inner, CPictureSettings& settings, int& marqueeOffset,
                 CFontRenderer& fonts);

  CPixelBuffer m_composition;
  std::optional<CPixelBuffer> m_background;
  std::optional<CPixelBuffer> m_picture;
  std::optional<CRect> m_cachedClient;  // the client rectangle of the last paint
  CPictureKey m_loadedKey;
  CRect m_drawnPictureRect;
  int m_rebuilds = 0;
};
