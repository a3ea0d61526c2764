// BMP decoding, the averaging scale, fills and copies on plain pixel buffers (see raster.h).
#include "ui/raster.h"

#include <algorithm>

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;  // BITMAPINFOHEADER; V4 and V5 headers only add fields
constexpr std::uint16_t kBitsPerPixel = 24;
constexpr std::uint32_t kBiRgb = 0;

std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t ReadI32(const std::uint8_t* p) { return static_cast<std::int32_t>(ReadU32(p)); }

struct CBmpLayout {
  int width = 0, height = 0;
  bool topDown = false;
  std::uint64_t pixelOffset = 0, stride = 0;
};

// The checked geometry of a 24-bit BI_RGB file; every size in 64 bits, so no field value can
// wrap a sum. Fields: bfOffBits at 10 of the file header; biSize at 0 of the info header,
// biWidth 4, biHeight 8, biPlanes 12, biBitCount 14, biCompression 16.
std::optional<CBmpLayout> ReadLayout(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < kFileHeaderBytes + kInfoHeaderBytes) return std::nullopt;
  if (data[0] != 'B' || data[1] != 'M') return std::nullopt;
  const std::uint8_t* info = data + kFileHeaderBytes;
  const std::uint64_t infoSize = ReadU32(info);
  if (infoSize < kInfoHeaderBytes || kFileHeaderBytes + infoSize > size) return std::nullopt;
  if (ReadU16(info + 12) != 1 || ReadU16(info + 14) != kBitsPerPixel || ReadU32(info + 16) != kBiRgb) {
    return std::nullopt;
  }
  const std::int64_t width = ReadI32(info + 4);
  std::int64_t height = ReadI32(info + 8);
  CBmpLayout layout;
  layout.topDown = height < 0;
  height = layout.topDown ? -height : height;
  if (width < 1 || width > kMaxBitmapSide || height < 1 || height > kMaxBitmapSide) return std::nullopt;
  layout.width = static_cast<int>(width);
  layout.height = static_cast<int>(height);
  layout.stride = (static_cast<std::uint64_t>(width) * 3 + 3) & ~std::uint64_t{3};
  layout.pixelOffset = ReadU32(data + 10);
  // Pixels inside the headers would be header bytes read as colours.
  if (layout.pixelOffset < kFileHeaderBytes + infoSize) return std::nullopt;
  if (layout.pixelOffset + layout.stride * static_cast<std::uint64_t>(height) > size) return std::nullopt;
  return layout;
}

}  // namespace

CPixelBuffer::CPixelBuffer(int w, int h) {
  if (w <= 0 || h <= 0) return;
  width = w;
  height = h;
  rgb.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3, 0);
}

std::optional<CPixelBuffer> DecodeBmp24(const std::uint8_t* data, std::size_t size) {
  const std::optional<CBmpLayout> layout = ReadLayout(data, size);
  if (!layout) return std::nullopt;
  CPixelBuffer picture(layout->width, layout->height);
  for (int y = 0; y < layout->height; ++y) {
    const int fileRow = layout->topDown ? y : layout->height - 1 - y;
    const std::uint8_t* bgr = data + layout->pixelOffset + layout->stride * static_cast<std::uint64_t>(fileRow);
    std::uint8_t* out = picture.At(0, y);
    for (int x = 0; x < layout->width; ++x, bgr += 3, out += 3) {
      out[0] = bgr[2];
      out[1] = bgr[1];
      out[2] = bgr[0];
    }
  }
  return picture;
}

namespace {

// One target pixel's share of the source along one axis: source pixels first..first+n-1,
// each weighted by how much of it the target pixel covers.
struct CAxisSpan {
  int first = 0;
  std::vector<std::uint64_t> weights;
};

// In units of 1/target of a source pixel, source pixel i spans [i*target, (i+1)*target) and
// target pixel j spans [j*source, (j+1)*source); the overlaps are whole numbers and the
// weights of each target pixel add up to source, so the mean is exact integer arithmetic.
std::vector<CAxisSpan> AxisSpans(int source, int target) {
  std::vector<CAxisSpan> spans(static_cast<std::size_t>(target));
  const std::int64_t s = source, t = target;
  for (std::int64_t j = 0; j < t; ++j) {
    const std::int64_t begin = j * s, end = (j + 1) * s;
    CAxisSpan& span = spans[static_cast<std::size_t>(j)];
    span.first = static_cast<int>(begin / t);
    for (std::int64_t i = span.first; i * t < end; ++i) {
      const std::int64_t overlap = std::min(end, (i + 1) * t) - std::max(begin, i * t);
      span.weights.push_back(static_cast<std::uint64_t>(overlap));
    }
  }
  return spans;
}

// (sum + whole / 2) / whole, exactly. A 64-bit division per byte made up much of the scale's
// time; the estimate from the reciprocal is off by at most one and corrected exactly.
template <typename Sum>
std::uint8_t RoundedMean(Sum sum, Sum whole, double inverse) {
  const Sum target = sum + whole / 2;
  Sum q = static_cast<Sum>(static_cast<double>(target) * inverse);
  if (q * whole > target) {
    --q;
  } else if ((q + 1) * whole <= target) {
    ++q;
  }
  return static_cast<std::uint8_t>(q);
}

// Both passes with sums of type Sum, which must hold 255 x the source's area (plus a half).
template <typename Sum>
void ScaleWith(const CPixelBuffer& source, CPixelBuffer& target) {
  const std::vector<CAxisSpan> columns = AxisSpans(source.width, target.width);
  const std::vector<CAxisSpan> rows = AxisSpans(source.height, target.height);
  // Horizontal pass: every source row at the target width, sums scaled by the source width.
  const std::size_t wideRow = static_cast<std::size_t>(target.width) * 3;
  std::vector<Sum> wide(static_cast<std::size_t>(source.height) * wideRow);
  for (int y = 0; y < source.height; ++y) {
    Sum* out = wide.data() + static_cast<std::size_t>(y) * wideRow;
    for (const CAxisSpan& span : columns) {
      const std::uint8_t* in = source.At(span.first, y);
      Sum r = 0, g = 0, b = 0;
      for (const std::uint64_t w : span.weights) {
        const Sum weight = static_cast<Sum>(w);
        r += in[0] * weight;
        g += in[1] * weight;
        b += in[2] * weight;
        in += 3;
      }
      *out++ = r;
      *out++ = g;
      *out++ = b;
    }
  }
  // Vertical pass; the whole weight of a target pixel is the source's area.
  const Sum whole = static_cast<Sum>(source.width) * static_cast<Sum>(source.height);
  const double inverse = 1.0 / static_cast<double>(whole);
  std::vector<Sum> sums(wideRow);
  for (int y = 0; y < target.height; ++y) {
    const CAxisSpan& span = rows[static_cast<std::size_t>(y)];
    std::fill(sums.begin(), sums.end(), 0);
    const Sum* in = wide.data() + static_cast<std::size_t>(span.first) * wideRow;
    for (const std::uint64_t w : span.weights) {
      const Sum weight = static_cast<Sum>(w);
      for (std::size_t k = 0; k < wideRow; ++k) sums[k] += in[k] * weight;
      in += wideRow;
    }
    std::uint8_t* out = target.At(0, y);
    for (std::size_t k = 0; k < wideRow; ++k) out[k] = RoundedMean(sums[k], whole, inverse);
  }
}

}  // namespace

CPixelBuffer ScaleAveraging(const CPixelBuffer& source, int width, int height) {
  CPixelBuffer target(width, height);
  const std::uint64_t area = static_cast<std::uint64_t>(std::max(source.width, 0)) * std::max(source.height, 0);
  if (target.Empty() || source.Empty() || source.rgb.size() != area * 3) return target;
  // 32-bit sums are twice as fast and hold any source up to 16 million pixels; 64 bits hold
  // every buffer that fits in memory.
  if (area <= (UINT32_MAX - area) / 256) {
    ScaleWith<std::uint32_t>(source, target);
  } else {
    ScaleWith<std::uint64_t>(source, target);
  }
  return target;
}

void FillRect(CPixelBuffer& target, const CRect& rect, CRgb colour) {
  const int left = std::max(rect.left, 0), right = std::min(rect.right, target.width);
  const int top = std::max(rect.top, 0), bottom = std::min(rect.bottom, target.height);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) target.Set(x, y, colour);
  }
}

namespace {
// Copies source to target with source pixel (0, 0) at (x, y), clipped to both; 64-bit
// offsets, so that no position a caller can pass wraps.
void CopyAt(CPixelBuffer& target, std::int64_t x, std::int64_t y, const CPixelBuffer& source) {
  const std::int64_t left = std::max<std::int64_t>(x, 0),
                     right = std::min<std::int64_t>(x + source.width, target.width);
  const std::int64_t top = std::max<std::int64_t>(y, 0),
                     bottom = std::min<std::int64_t>(y + source.height, target.height);
  if (left >= right) return;
  const std::size_t bytes = static_cast<std::size_t>(right - left) * 3;
  for (std::int64_t row = top; row < bottom; ++row) {
    std::copy_n(source.At(static_cast<int>(left - x), static_cast<int>(row - y)), bytes,
                target.At(static_cast<int>(left), static_cast<int>(row)));
  }
}
}  // namespace

void CopyPixels(CPixelBuffer& target, int x, int y, const CPixelBuffer& source) { CopyAt(target, x, y, source); }

CPixelBuffer CutOut(const CPixelBuffer& source, int x, int y, int width, int height) {
  CPixelBuffer part(width, height);
  CopyAt(part, -std::int64_t{x}, -std::int64_t{y}, source);
  return part;
}
