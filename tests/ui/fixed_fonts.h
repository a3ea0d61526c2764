// A font renderer with fixed metrics for the picture controls' tests, so that widths are
// exact on every platform.
#pragma once

#include <algorithm>
#include <string>

#include "ui/picture_text.h"

// Every glyph is a box of (height / 2) x height pixels, spaces without ink; height 0 is 16.
class CFixedFonts : public CFontRenderer {
 public:
  CTextExtent Measure(const CFontRequest& font, const std::wstring& text) override {
    const int h = Height(font);
    return {static_cast<int>(text.size()) * (h / 2), h};
  }
  void Draw(CPixelBuffer& target, const CFontRequest& font, const std::wstring& text, int x, int y, CRgb colour,
            const CRect& clip) override {
    const int h = Height(font), w = h / 2;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == L' ') continue;
      const int left = x + static_cast<int>(i) * w;
      FillRect(target,
               {std::max(left, clip.left), std::max(y, clip.top), std::min(left + w, clip.right),
                std::min(y + h, clip.bottom)},
               colour);
    }
  }

 private:
  static int Height(const CFontRequest& font) { return font.pixelHeight == 0 ? 16 : font.pixelHeight; }
};
