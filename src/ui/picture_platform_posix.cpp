// The picture controls' platform parts on Linux: pictures are pixel buffers behind a handle
// or compiled-in resources, and text is drawn with Cairo.
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "resource.h"
#include "system/text.h"
#include "ui/picture_static.h"
#include "ui/splash_picture.h"

std::uintptr_t CreatePictureHandle(const CPixelBuffer& pixels) {
  return reinterpret_cast<std::uintptr_t>(new CPixelBuffer(pixels));
}

void DeletePictureHandle(std::uintptr_t handle) { delete reinterpret_cast<CPixelBuffer*>(handle); }

// A handle wins over a resource id, as the control loads both and keeps the handle's picture.
std::optional<CPixelBuffer> LoadPictureBitmap(const CPictureKey& key) {
  if (key.handle != 0) return *reinterpret_cast<const CPixelBuffer*>(key.handle);
  if ((key.resourceId & 0xFFFF) != IDB_SPLASH) return std::nullopt;
  const CEmbeddedBitmap file = SplashBitmapFile();
  return DecodeBmp24(file.data, file.size);
}

namespace {
// A fresh drawing context's font: a plain sans-serif face with a 16-pixel cell, as the system
// font of a Windows drawing context.
constexpr char kDefaultFace[] = "sans-serif";
constexpr int kDefaultCellHeight = 16;

class CCairoFonts : public CFontRenderer {
 public:
  CCairoFonts() : m_scratch(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1)), m_measure(cairo_create(m_scratch)) {}
  ~CCairoFonts() override {
    cairo_destroy(m_measure);
    cairo_surface_destroy(m_scratch);
  }
  CCairoFonts(const CCairoFonts&) = delete;
  CCairoFonts& operator=(const CCairoFonts&) = delete;

  CTextExtent Measure(const CFontRequest& font, const std::wstring& text) override {
    const int cell = Select(m_measure, font);
    cairo_text_extents_t extents{};
    cairo_text_extents(m_measure, ToUtf8(text).c_str(), &extents);
    return {static_cast<int>(std::lround(extents.x_advance)), cell};
  }

  void Draw(CPixelBuffer& target, const CFontRequest& font, const std::wstring& text, int x, int y, CRgb colour,
            const CRect& clip) override {
    if (text.empty()) return;
    const CRect area = TextInkArea(target, clip, x, y, Measure(font, text));
    if (area.Width() <= 0 || area.Height() <= 0) return;
    // The part of the target the text can reach goes through a Cairo surface and back.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, area.Width(), area.Height());
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const auto row = [&](int sy) { return reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t{sy} * stride); };
    for (int sy = 0; sy < area.Height(); ++sy) {
      for (int sx = 0; sx < area.Width(); ++sx) {
        const CRgb c = target.Get(area.left + sx, area.top + sy);
        row(sy)[sx] = (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
      }
    }
    cairo_surface_mark_dirty(surface);
    cairo_t* cr = cairo_create(surface);
    Select(cr, font);
    cairo_font_extents_t metrics{};
    cairo_font_extents(cr, &metrics);
    cairo_set_source_rgb(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
    cairo_move_to(cr, x - area.left, y - area.top + metrics.ascent);
    cairo_show_text(cr, ToUtf8(text).c_str());
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    for (int sy = 0; sy < area.Height(); ++sy) {
      for (int sx = 0; sx < area.Width(); ++sx) {
        const std::uint32_t p = row(sy)[sx];
        target.Set(
            area.left + sx, area.top + sy,
            {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)});
      }
    }
    cairo_surface_destroy(surface);
  }

 private:
  // Selects the font so that its cell (ascent + descent) is the requested height, as a
  // positive height asks of GDI; a negative one is the character height without the leading.
  // Returns the cell height.
  static int Select(cairo_t* cr, const CFontRequest& font) {
    const std::string face = font.face.empty() ? kDefaultFace : ToUtf8(font.face);
    cairo_select_font_face(cr, face.c_str(), CAIRO_FONT_SLANT_NORMAL,
                           font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    const int requested = font.pixelHeight == 0 ? kDefaultCellHeight : std::abs(font.pixelHeight);
    // Measured at a large size, where hinting moves the metrics least.
    constexpr double kProbeSize = 100.0;
    cairo_set_font_size(cr, kProbeSize);
    cairo_font_extents_t probe{};
    cairo_font_extents(cr, &probe);
    const double cellPerSize = (probe.ascent + probe.descent) / kProbeSize;
    const double size = font.pixelHeight < 0 || cellPerSize <= 0 ? requested : requested / cellPerSize;
    cairo_set_font_size(cr, size);
    return font.pixelHeight < 0 ? static_cast<int>(std::lround(size * cellPerSize)) : requested;
  }

  cairo_surface_t* m_scratch;
  cairo_t* m_measure;
};
}  // namespace

std::unique_ptr<CFontRenderer> CreatePlatformFontRenderer() { return std::make_unique<CCairoFonts>(); }
