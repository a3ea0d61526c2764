// Drawing the compiled-in picture with our own averaging scale onto a Cairo context (see
// splash_dlg.h).
#include <cairo.h>

#include "resource.h"
#include "ui/raster.h"
#include "ui/splash_dlg.h"
#include "ui/splash_picture.h"

namespace {
// Cairo's 24-bit surface keeps each pixel in 32 bits, blue in the lowest byte.
cairo_surface_t* ToSurface(const CPixelBuffer& pixels) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, pixels.width, pixels.height);
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < pixels.height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < pixels.width; ++x) {
      const std::uint8_t* rgb = pixels.At(x, y);
      row[x] = (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2];
    }
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}
}  // namespace

void DrawBitmapStretched(CPaintDC& dc, const CRect& rect, unsigned bitmapId) {
  auto* cr = static_cast<cairo_t*>(dc.Context());
  if (cr == nullptr || bitmapId != IDB_SPLASH) return;
  // The picture is compiled in and never changes, so the scaled copy of the last size drawn is
  // kept: a repaint puts the same pixels on the screen without decoding and scaling again.
  static cairo_surface_t* scaled = nullptr;
  const int width = rect.Width() - 1;
  const int height = rect.Height() - 1;
  if (scaled == nullptr || cairo_image_surface_get_width(scaled) != width ||
      cairo_image_surface_get_height(scaled) != height) {
    const CEmbeddedBitmap file = SplashBitmapFile();
    const std::optional<CPixelBuffer> picture = DecodeBmp24(file.data, file.size);
    if (!picture) return;
    const CPixelBuffer pixels = ScaleAveraging(*picture, width, height);
    if (pixels.Empty()) return;
    if (scaled != nullptr) cairo_surface_destroy(scaled);
    scaled = ToSurface(pixels);
  }
  cairo_set_source_surface(cr, scaled, rect.left, rect.top);
  cairo_paint(cr);
}
