// The picture controls' platform parts on Windows: pictures are GDI bitmaps (resources or
// handles) or the packed splash picture read into pixel buffers, and text is drawn by GDI into
// a DIB section.
#include <windows.h>

#include <algorithm>

#include "resource.h"
#include "ui/picture_static.h"
#include "ui/splash_picture.h"

namespace {
// Pixels of a device-independent bitmap: blue, green, red, rows padded to four bytes.
std::size_t DibStride(int width) { return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3}; }

BITMAPINFO TopDown24(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

void FromDib(const std::uint8_t* dib, CPixelBuffer& target, int left, int top, int width, int height) {
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* from = dib + static_cast<std::size_t>(y) * DibStride(width);
    for (int x = 0; x < width; ++x, from += 3) target.Set(left + x, top + y, {from[2], from[1], from[0]});
  }
}

void ToDib(const CPixelBuffer& source, int left, int top, int width, int height, std::uint8_t* dib) {
  for (int y = 0; y < height; ++y) {
    std::uint8_t* to = dib + static_cast<std::size_t>(y) * DibStride(width);
    for (int x = 0; x < width; ++x, to += 3) {
      const CRgb c = source.Get(left + x, top + y);
      to[0] = c.b;
      to[1] = c.g;
      to[2] = c.r;
    }
  }
}

std::optional<CPixelBuffer> ReadBitmap(HBITMAP bitmap) {
  BITMAP info{};
  if (GetObjectW(bitmap, sizeof info, &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0 ||
      info.bmWidth > kMaxBitmapSide || info.bmHeight > kMaxBitmapSide)
    return std::nullopt;
  BITMAPINFO format = TopDown24(info.bmWidth, info.bmHeight);
  std::vector<std::uint8_t> dib(DibStride(info.bmWidth) * static_cast<std::size_t>(info.bmHeight));
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), dib.data(), &format, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != info.bmHeight) return std::nullopt;
  CPixelBuffer pixels(info.bmWidth, info.bmHeight);
  FromDib(dib.data(), pixels, 0, 0, info.bmWidth, info.bmHeight);
  return pixels;
}
}  // namespace

std::uintptr_t CreatePictureHandle(const CPixelBuffer& pixels) {
  const BITMAPINFO format = TopDown24(pixels.width, pixels.height);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return 0;
  ToDib(pixels, 0, 0, pixels.width, pixels.height, static_cast<std::uint8_t*>(bits));
  GdiFlush();
  return reinterpret_cast<std::uintptr_t>(bitmap);
}

void DeletePictureHandle(std::uintptr_t handle) { DeleteObject(reinterpret_cast<HBITMAP>(handle)); }

// A handle wins over a resource id, as the control loads both and keeps the handle's picture.
std::optional<CPixelBuffer> LoadPictureBitmap(const CPictureKey& key) {
  if (key.handle != 0) return ReadBitmap(reinterpret_cast<HBITMAP>(key.handle));
  if ((key.resourceId & 0xFFFF) == 0) return std::nullopt;
  // The splash picture is carried packed, not as a bitmap resource.
  if ((key.resourceId & 0xFFFF) == IDB_SPLASH) {
    const CEmbeddedBitmap file = SplashBitmapFile();
    return DecodeBmp24(file.data, file.size);
  }
  HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(key.resourceId & 0xFFFF));
  if (bitmap == nullptr) return std::nullopt;
  std::optional<CPixelBuffer> pixels = ReadBitmap(bitmap);
  DeleteObject(bitmap);
  return pixels;
}

namespace {
// The font as the control creates it: bold, ANSI, character precision and clipping, proof
// quality, variable pitch. The default request is the drawing context's own (system) font.
class CGdiFonts : public CFontRenderer {
 public:
  CGdiFonts() : m_dc(CreateCompatibleDC(nullptr)) {}
  ~CGdiFonts() override { DeleteDC(m_dc); }
  CGdiFonts(const CGdiFonts&) = delete;
  CGdiFonts& operator=(const CGdiFonts&) = delete;

  CTextExtent Measure(const CFontRequest& font, const std::wstring& text) override {
    CSelectedFont selected(m_dc, font);
    SIZE size{};
    GetTextExtentPoint32W(m_dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(m_dc, &metrics);
    return {size.cx, metrics.tmHeight};
  }

  void Draw(CPixelBuffer& target, const CFontRequest& font, const std::wstring& text, int x, int y, CRgb colour,
            const CRect& clip) override {
    if (text.empty()) return;
    const CRect area = TextInkArea(target, clip, x, y, Measure(font, text));
    if (area.Width() <= 0 || area.Height() <= 0) return;
    // The part of the target the text can reach goes through a DIB section and back.
    const BITMAPINFO format = TopDown24(area.Width(), area.Height());
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(m_dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr) return;
    auto* dib = static_cast<std::uint8_t*>(bits);
    ToDib(target, area.left, area.top, area.Width(), area.Height(), dib);
    HGDIOBJ previousBitmap = SelectObject(m_dc, section);
    {
      CSelectedFont selected(m_dc, font);
      SetBkMode(m_dc, TRANSPARENT);
      SetTextColor(m_dc, RGB(colour.r, colour.g, colour.b));
      SetTextAlign(m_dc, TA_TOP | TA_LEFT);
      TextOutW(m_dc, x - area.left, y - area.top, text.c_str(), static_cast<int>(text.size()));
      GdiFlush();
    }
    SelectObject(m_dc, previousBitmap);
    FromDib(dib, target, area.left, area.top, area.Width(), area.Height());
    DeleteObject(section);
  }

 private:
  class CSelectedFont {
   public:
    CSelectedFont(HDC dc, const CFontRequest& font) : m_dc(dc) {
      if (!font.face.empty() || font.pixelHeight != 0 || font.bold) {
        m_font =
            CreateFontW(font.pixelHeight, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                        OUT_CHARACTER_PRECIS, CLIP_CHARACTER_PRECIS, PROOF_QUALITY, 6, font.face.c_str());
      }
      m_previous = SelectObject(m_dc, m_font != nullptr ? static_cast<HGDIOBJ>(m_font) : GetStockObject(SYSTEM_FONT));
    }
    ~CSelectedFont() {
      SelectObject(m_dc, m_previous);
      if (m_font != nullptr) DeleteObject(m_font);
    }
    CSelectedFont(const CSelectedFont&) = delete;
    CSelectedFont& operator=(const CSelectedFont&) = delete;

   private:
    HDC m_dc;
    HFONT m_font = nullptr;
    HGDIOBJ m_previous = nullptr;
  };

  HDC m_dc;
};
}  // namespace

std::unique_ptr<CFontRenderer> CreatePlatformFontRenderer() { return std::make_unique<CGdiFonts>(); }
