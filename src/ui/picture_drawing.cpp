// The picture control's drawing steps on plain pixel buffers (see picture_drawing.h).
#include "ui/picture_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Window sizes and picture sides stay far below 2^31, but their products need not.
int MulDiv64(std::int64_t a, std::int64_t b, std::int64_t c) { return c == 0 ? 0 : static_cast<int>(a * b / c); }

// Narrows (or shortens) a side of length `have` to `want`, half of the difference on each
// side, as an inset rectangle does: an odd difference leaves the side one pixel longer.
void Narrow(int& low, int& high, std::int64_t have, std::int64_t want) {
  const int half = static_cast<int>((have - want) / 2);
  low += half;
  high -= half;
}

}  // namespace

CPicturePlacement PlacePicture(const CRect& rect, int pictureWidth, int pictureHeight, const CPictureFit& fit) {
  CPicturePlacement placement;
  placement.sourceWidth = std::min(fit.scaleWhole ? pictureWidth : rect.Width(), pictureWidth);
  placement.sourceHeight = std::min(fit.scaleWhole ? pictureHeight : rect.Height(), pictureHeight);
  placement.target = rect;
  if (!fit.keepAspect || pictureWidth <= 0 || pictureHeight <= 0) return placement;
  CRect& t = placement.target;
  const std::int64_t width = rect.Width(), height = rect.Height();
  const std::int64_t fittedWidth = height * pictureWidth / pictureHeight;
  const std::int64_t fittedHeight = width * pictureHeight / pictureWidth;
  if (width > fittedWidth) {
    Narrow(t.left, t.right, width, fittedWidth);
  } else if (height > fittedHeight) {
    Narrow(t.top, t.bottom, height, fittedHeight);
  }
  return placement;
}

CRect DrawPicture(CPixelBuffer& target, const CRect& rect, const CPixelBuffer& picture, const CPictureFit& fit) {
  const CPicturePlacement p = PlacePicture(rect, picture.width, picture.height, fit);
  if (picture.Empty() || p.target.Width() <= 0 || p.target.Height() <= 0) return p.target;
  if (p.sourceWidth <= 0 || p.sourceHeight <= 0) return p.target;
  if (fit.transparent) {
    TransparentStretch(target, p.target, picture, p.sourceWidth, p.sourceHeight);
  } else {
    const CPixelBuffer part = CutOut(picture, 0, 0, p.sourceWidth, p.sourceHeight);
    CopyPixels(target, p.target.left, p.target.top, ScaleAveraging(part, p.target.Width(), p.target.Height()));
  }
  return p.target;
}

namespace {

// The source pixels one destination pixel takes along one axis of the mask.
struct CMaskSpan {
  int first = 0, count = 0;
};

// Shrinking, each source pixel goes to the destination pixel that holds its centre, so every
// source pixel counts once; enlarging, each destination pixel takes the source pixel under
// its centre.
std::vector<CMaskSpan> MaskSpans(int source, int dest) {
  std::vector<CMaskSpan> spans(static_cast<std::size_t>(dest));
  const std::int64_t s = source, d = dest;
  if (source >= dest) {
    for (std::int64_t i = s - 1; i >= 0; --i) {
      CMaskSpan& span = spans[static_cast<std::size_t>((2 * i + 1) * d / (2 * s))];
      span.first = static_cast<int>(i);
      ++span.count;
    }
  } else {
    for (std::int64_t j = 0; j < d; ++j)
      spans[static_cast<std::size_t>(j)] = {static_cast<int>((2 * j + 1) * s / (2 * d)), 1};
  }
  return spans;
}

// One bit per destination pixel: true where the reduced picture is transparent.
std::vector<bool> TransparencyMask(const CPixelBuffer& picture, int sourceWidth, int sourceHeight, int width,
                                   int height) {
  const CRgb key = picture.Get(0, 0);
  const std::vector<CMaskSpan> columns = MaskSpans(sourceWidth, width);
  const std::vector<CMaskSpan> rows = MaskSpans(sourceHeight, height);
  // Per source row first, then the rows of each destination pixel together.
  std::vector<bool> across(static_cast<std::size_t>(sourceHeight) * static_cast<std::size_t>(width), true);
  for (int y = 0; y < sourceHeight; ++y) {
    for (int x = 0; x < width; ++x) {
      const CMaskSpan& c = columns[static_cast<std::size_t>(x)];
      bool all = true;
      for (int i = c.first; i < c.first + c.count && all; ++i) all = picture.Get(i, y) == key;
      across[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = all;
    }
  }
  std::vector<bool> mask(static_cast<std::size_t>(height) * static_cast<std::size_t>(width), true);
  for (int y = 0; y < height; ++y) {
    const CMaskSpan& r = rows[static_cast<std::size_t>(y)];
    for (int x = 0; x < width; ++x) {
      bool all = true;
      for (int k = r.first; k < r.first + r.count && all; ++k) {
        all = across[static_cast<std::size_t>(k) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
      }
      mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = all;
    }
  }
  return mask;
}

}  // namespace

void TransparentStretch(CPixelBuffer& target, const CRect& dest, const CPixelBuffer& picture, int sourceWidth,
                        int sourceHeight) {
  const int width = dest.Width(), height = dest.Height();
  sourceWidth = std::min(sourceWidth, picture.width);
  sourceHeight = std::min(sourceHeight, picture.height);
  if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
  const CPixelBuffer colours = ScaleAveraging(CutOut(picture, 0, 0, sourceWidth, sourceHeight), width, height);
  const std::vector<bool> mask = TransparencyMask(picture, sourceWidth, sourceHeight, width, height);
  // The mask's two raster passes (target OR inverted mask, then AND the picture with its
  // transparent pixels whitened) leave exactly this choice per pixel.
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::int64_t tx = std::int64_t{dest.left} + x, ty = std::int64_t{dest.top} + y;
      if (tx < 0 || ty < 0 || tx >= target.width || ty >= target.height) continue;
      if (mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]) continue;
      target.Set(static_cast<int>(tx), static_cast<int>(ty), colours.Get(x, y));
    }
  }
}

namespace {

// The stand-in for a missing parent picture: the screen colour inside a one-pixel black
// outline, as a rectangle drawn with the buffer's default pen.
CPixelBuffer OutlinedFill(int width, int height, CRgb colour) {
  CPixelBuffer fill(width, height);  // black
  FillRect(fill, {1, 1, width - 1, height - 1}, colour);
  return fill;
}

}  // namespace

void DrawParentBackground(CPixelBuffer& target, const CPixelBuffer* parentPicture, const CParentView& parent) {
  if (target.Empty() || parent.width <= 0 || parent.height <= 0) return;
  CPixelBuffer fallback;
  if (parentPicture == nullptr) fallback = OutlinedFill(target.width, target.height, parent.screenColour);
  const CPixelBuffer& source = parentPicture != nullptr ? *parentPicture : fallback;
  const int bw = source.width, bh = source.height;
  const int x = MulDiv64(bw, parent.placement.left, parent.width);
  const int y = MulDiv64(bh, parent.placement.top, parent.height);
  const int w = MulDiv64(target.width, bw, parent.width);
  const int h = MulDiv64(target.height, bh, parent.height);
  if (w <= 0 || h <= 0) return;
  CopyPixels(target, 0, 0, ScaleAveraging(CutOut(source, x, y, w, h), target.width, target.height));
}

namespace {

// A one-pixel line from (x0, y) or (x, y0) that stops one pixel before its end point.
void HorizontalLine(CPixelBuffer& target, int x0, int x1, int y, CRgb colour) {
  FillRect(target, {x0, y, x1, y + 1}, colour);
}
void VerticalLine(CPixelBuffer& target, int x, int y0, int y1, CRgb colour) {
  FillRect(target, {x, y0, x + 1, y1}, colour);
}

// The line positions, rounded: the spacing is added up in single precision, as the control
// always has, so that a grid keeps its pixels where the rounding of the sum and of an exact
// product part ways.
std::vector<int> GridPositions(int start, int end, int lines) {
  std::vector<int> positions;
  const float spacing = static_cast<float>(end - start) / static_cast<float>(std::int64_t{lines} + 1);
  float position = static_cast<float>(start);
  for (int i = 1; i <= lines; ++i) {
    position += spacing;
    positions.push_back(static_cast<int>(static_cast<double>(position) + 0.5));
  }
  return positions;
}

}  // namespace

void DrawGrid(CPixelBuffer& target, const CRect& rect, int rows, int columns, CRgb line, CRgb highlight) {
  const std::vector<int> ys = GridPositions(rect.top, rect.bottom, rows);
  const std::vector<int> xs = GridPositions(rect.left, rect.right, columns);
  for (const int y : ys) HorizontalLine(target, -1, rect.right - 1, y - 1, highlight);
  for (const int x : xs) VerticalLine(target, x - 1, rect.top - 1, rect.bottom - 1, highlight);
  for (const int y : ys) HorizontalLine(target, 0, rect.right, y, line);
  for (const int x : xs) VerticalLine(target, x, rect.top, rect.bottom, line);
}

namespace {
// The frame's look: the depth follows a quarter circle of radius 148 from the outside in; the
// dark factor is depth - 20 and the light one 276 - depth, so both reach 128 / 128 (no
// change) at full depth and the frame fades into the picture inside it.
constexpr int kBevelRadius = 148;
constexpr int kBevelDarkOffset = 20;
constexpr int kBevelLightBase = 276;
constexpr int kShadeUnit = 128;

// A channel times factor / 128; a frame wider than the radius has a negative dark factor,
// which leaves the channel black instead of wrapping round to a bright value.
void ShadePixel(CPixelBuffer& target, int x, int y, int factor) {
  std::uint8_t* p = target.At(x, y);
  for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(std::clamp(p[c] * factor / kShadeUnit, 0, 255));
}

// Shades the pixels first..last (inclusive) of a row or column; those outside the buffer are
// neither read nor changed.
void ShadeRow(CPixelBuffer& target, int y, int first, int last, int factor) {
  if (y < 0 || y >= target.height) return;
  for (int x = std::max(first, 0); x <= std::min(last, target.width - 1); ++x) ShadePixel(target, x, y, factor);
}
void ShadeColumn(CPixelBuffer& target, int x, int first, int last, int factor) {
  if (x < 0 || x >= target.width) return;
  for (int y = std::max(first, 0); y <= std::min(last, target.height - 1); ++y) ShadePixel(target, x, y, factor);
}
}  // namespace

CBevelRing BevelRing(int frameWidth, int i) {
  const int a = kBevelRadius - (kBevelRadius / frameWidth) * i;
  const int depth = static_cast<int>(kBevelRadius * std::sin(std::acos(static_cast<double>(a) / kBevelRadius)));
  return {i - 1, depth - kBevelDarkOffset, kBevelLightBase - depth};
}

void ShadeRing(CPixelBuffer& target, const CRect& rect, const CBevelRing& ring) {
  const int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom, k = ring.k;
  ShadeRow(target, t + k, k > 0 ? l + 1 : l, r - k - 1, ring.dark);
  ShadeColumn(target, l + k, t + 1, b - k - 1, ring.dark);
  ShadeColumn(target, r - k - 1, t, k == 0 ? b : b - 2, ring.light);
  ShadeRow(target, b - k - 1, l, r - 2, ring.light);
}

void DrawBevelFrame(CPixelBuffer& target, const CRect& rect, int frameWidth) {
  // Past this ring every edge of a ring lies outside the buffer: a frame wider than the
  // control costs no more than one as wide as the control.
  const std::int64_t visible = std::max({std::int64_t{target.height} - rect.top, std::int64_t{target.width} - rect.left,
                                         std::int64_t{rect.right}, std::int64_t{rect.bottom}});
  for (int i = 1; i < frameWidth && i - 1 < visible; ++i) ShadeRing(target, rect, BevelRing(frameWidth, i));
}
