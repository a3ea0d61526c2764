// Plain pixel buffers and the operations the splash drawing needs on every platform: reading
// the splash BMP and scaling a picture with an averaging filter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

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
