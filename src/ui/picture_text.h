// The picture control's text lines: a bold line with a one-pixel shadow, placed by alignment
// flags, and the marquee of a line too wide for its rectangle; drawn through a font seam.
#pragma once

#include <string>

#include "framework/dialog.h"
#include "ui/raster.h"

// A font as the control asks for it. The default font (empty face, height 0, not bold) is
// the one a fresh buffer draws with before any line has chosen its own.
struct CFontRequest {
  std::wstring face;
  int pixelHeight = 0;  // character cell height; 0 = the renderer's default size, < 0 = its magnitude
  bool bold = false;
};

struct CTextExtent {
  int width = 0;
  int height = 0;  // the font's cell height, also for an empty string
};

// Measures and draws strings; GDI on Windows, Cairo on Linux, fixed metrics in tests.
class CFontRenderer {
 public:
  virtual ~CFontRenderer() = default;
  virtual CTextExtent Measure(const CFontRequest& font, const std::wstring& text) = 0;
  // Draws text with the top-left corner of its cell at (x, y), changing only pixels in clip.
  virtual void Draw(CPixelBuffer& target, const CFontRequest& font, const std::wstring& text, int x, int y, CRgb colour,
                    const CRect& clip) = 0;
};

// The part of target that text drawn with its cell's top-left at (x, y) can change: the cell,
// widened by half its height on each side for glyphs that reach past their advance, within
// clip and the target. Renderers work on this part alone instead of the whole clip rectangle.
CRect TextInkArea(const CPixelBuffer& target, const CRect& clip, int x, int y, const CTextExtent& extent);

// Alignment flags of a text line: the platform's text alignment bits plus one of the
// control's own.
inline constexpr int kAlignRight = 2;
inline constexpr int kAlignCentre = 6;  // both horizontal bits
inline constexpr int kAlignBottom = 8;
inline constexpr int kAlignCentreVertically = 0x10;

// What one line needs besides its text and rectangle.
struct CTextLineStyle {
  std::wstring face;
  int pixelHeight = 0;
  int flags = 0;
  CRgb colour;
  CRgb shadow;
  int frameWidth = 0;  // left and right aligned text keeps half of it from the rectangle's edge
};

// Draws one line into rect, its shadow one pixel down and right, both clipped to rect.
// Returns whether the text is wider than rect; such a line runs as a marquee instead: it is
// drawn twice in a row, seven spaces after each copy, from x = marqueeOffset, and the offset
// goes back to 0 once the first copy and its spaces have passed out at the left.
bool DrawTextLine(CPixelBuffer& target, CFontRenderer& renderer, const CRect& rect, const std::wstring& text,
                  const CTextLineStyle& style, int& marqueeOffset);
