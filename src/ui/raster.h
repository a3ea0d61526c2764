// Plain pixel buffers and the operations the splash and picture drawing need on every
// platform: reading the splash BMP, scaling with an averaging filter, filling and copying.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "framework/dialog.h"

// One pixel's colour.
struct CRgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const CRgb&) const = default;
};

// 24-bit pixels, top-down rows, 3 bytes per pixel in the order R, G, B, no row padding.
struct CPixelBuffer {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;

  CPixelBuffer() = default;
  // Filled black; a width or height <= 0 gives an empty (0 x 0) buffer.
  CPixelBuffer(int w, int h);
  // The pixel's 3 bytes; x and y must lie inside the buffer.
  std::uint8_t* At(int x, int y) { return rgb.data() + Offset(x, y); }
  const std::uint8_t* At(int x, int y) const { return rgb.data() + Offset(x, y); }
  bool Empty() const { return width <= 0 || height <= 0; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  CRgb Get(int x, int y) const {
    const std::uint8_t* p = At(x, y);
    return {p[0], p[1], p[2]};
  }
  void Set(int x, int y, CRgb c) {
    std::uint8_t* p = At(x, y);
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  }

 private:
  std::size_t Offset(int x, int y) const {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
  }
};

// Larger pictures are refused rather than allocated: no splash picture comes near it, and the
// limit keeps every size computation far from overflow.
inline constexpr int kMaxBitmapSide = 16384;

// Decodes a BMP file: BITMAPINFOHEADER (or larger header), 24 bits, BI_RGB, bottom-up or
// top-down, rows padded to 4 bytes. nullopt for anything else or anything malformed
// (truncated, offsets past the end, sizes that overflow, width/height 0 or > 16384).
std::optional<CPixelBuffer> DecodeBmp24(const std::uint8_t* data, std::size_t size);

// Scales with an averaging (area) filter: each target pixel is the mean of the source area it
// covers, fractional coverage weighted, rounded to the nearest value (halves up); "halftone"
// for our own drawing. Target sizes <= 0 give an empty buffer; an empty source gives black.
CPixelBuffer ScaleAveraging(const CPixelBuffer& source, int width, int height);

// Fills rect, clipped to the buffer.
void FillRect(CPixelBuffer& target, const CRect& rect, CRgb colour);

// Plain copy of the whole source with its top-left at (x, y), clipped to the target.
void CopyPixels(CPixelBuffer& target, int x, int y, const CPixelBuffer& source);

// The width x height part of source whose top-left is (x, y); what lies outside the source
// is black. Sizes <= 0 give an empty buffer.
CPixelBuffer CutOut(const CPixelBuffer& source, int x, int y, int width, int height);
