// Drawing the compiled-in picture with our own averaging scale onto a Cairo context (see
// splash_dlg.h).
#include <cairo.h>

#include <cmath>

#include "framework/cairo_pixels.h"
#include "resource.h"
#include "ui/raster.h"
#include "ui/splash_dlg.h"
#include "ui/splash_picture.h"

void DrawBitmapStretched(CPaintDC& dc, const CRect& rect, unsigned bitmapId) {
  auto* cr = static_cast<cairo_t*>(dc.Context());
  if (cr == nullptr || bitmapId != IDB_SPLASH) return;
  // The picture is compiled in and never changes, so the scaled copy of the last size drawn is
  // kept: a repaint puts the same pixels on the screen without decoding and scaling again.
  static cairo_surface_t* scaled = nullptr;
  // On a scaled screen (GDK_SCALE=2) the window is laid out in its unscaled pixels and Cairo
  // maps them onto more device pixels; the picture is scaled to the device pixels with our own
  // filter and drawn one to one, rather than scaled to the layout's pixels and then enlarged by
  // Cairo's interpolation, which blurs it.
  double scaleX = 1;
  double scaleY = 1;
  cairo_surface_get_device_scale(cairo_get_target(cr), &scaleX, &scaleY);
  const int width = static_cast<int>(std::lround((rect.Width() - 1) * scaleX));
  const int height = static_cast<int>(std::lround((rect.Height() - 1) * scaleY));
  if (scaled == nullptr || cairo_image_surface_get_width(scaled) != width ||
      cairo_image_surface_get_height(scaled) != height) {
    const CEmbeddedBitmap file = SplashBitmapFile();
    const std::optional<CPixelBuffer> picture = DecodeBmp24(file.data, file.size);
    if (!picture) return;
    const CPixelBuffer pixels = ScaleAveraging(*picture, width, height);
    if (pixels.Empty()) return;
    if (scaled != nullptr) cairo_surface_destroy(scaled);
    scaled = NewRgbSurface(pixels.rgb.data(), pixels.width, pixels.height);
  }
  cairo_surface_set_device_scale(scaled, scaleX, scaleY);
  cairo_set_source_surface(cr, scaled, rect.left, rect.top);
  cairo_paint(cr);
}
