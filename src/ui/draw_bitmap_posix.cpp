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
  const CEmbeddedBitmap file = SplashBitmapFile();
  const std::optional<CPixelBuffer> picture = DecodeBmp24(file.data, file.size);
  if (!picture) return;
  const CPixelBuffer scaled = ScaleAveraging(*picture, rect.Width() - 1, rect.Height() - 1);
  if (scaled.width <= 0 || scaled.height <= 0) return;
  cairo_surface_t* surface = ToSurface(scaled);
  cairo_set_source_surface(cr, surface, rect.left, rect.top);
  cairo_paint(cr);
  cairo_surface_destroy(surface);
}
