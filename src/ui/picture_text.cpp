// The picture control's text lines (see picture_text.h).
#include "ui/picture_text.h"

#include <algorithm>

namespace {

// Seven spaces part the end of a marquee text from its next copy.
constexpr wchar_t kMarqueeGap[] = L"       ";

// The left edge of a cell whose alignment point is x, by the horizontal alignment bits.
int CellLeft(int x, int width, int flags) {
  if ((flags & kAlignCentre) == kAlignCentre) return x - width / 2;
  if ((flags & kAlignCentre) == kAlignRight) return x - width;
  return x;
}

// The alignment point's x for a line that fits.
int AlignedX(const CRect& rect, int flags, int frameWidth) {
  if ((flags & kAlignCentre) == kAlignCentre) return rect.left + rect.Width() / 2;
  if ((flags & kAlignCentre) == kAlignRight) return rect.right - frameWidth / 2;
  return rect.left + frameWidth / 2;
}

}  // namespace

CRect TextInkArea(const CPixelBuffer& target, const CRect& clip, int x, int y, const CTextExtent& extent) {
  const int overhang = extent.height / 2 + 1;
  return {std::max({clip.left, 0, x - overhang}), std::max({clip.top, 0, y - 1}),
          std::min({clip.right, target.width, x + extent.width + overhang}),
          std::min({clip.bottom, target.height, y + extent.height + 1})};
}

bool DrawTextLine(CPixelBuffer& target, CFontRenderer& renderer, const CRect& rect, const std::wstring& text,
                  const CTextLineStyle& style, int& marqueeOffset) {
  const CFontRequest font{style.face, style.pixelHeight, true};
  const CTextExtent extent = renderer.Measure(font, text);
  const bool tooWide = extent.width > rect.Width();
  std::wstring shown = text;
  int flags = style.flags;
  int x = 0;
  if (tooWide) {
    shown += kMarqueeGap;
    const int cycle = renderer.Measure(font, shown).width;
    shown += shown;
    if (marqueeOffset <= -cycle) marqueeOffset = 0;
    flags &= ~kAlignCentre;
    x = marqueeOffset;
  } else {
    x = AlignedX(rect, flags, style.frameWidth);
  }
  // Bottom alignment wins over the control's own vertical centring, which then stays unused.
  int top = rect.top;
  if ((flags & kAlignBottom) != 0) {
    top = rect.bottom - extent.height;
  } else if ((flags & kAlignCentreVertically) != 0) {
    top = rect.top + (rect.bottom - extent.height - rect.top) / 2;
  }
  const int left = CellLeft(x, extent.width, flags);
  renderer.Draw(target, font, shown, left + 1, top + 1, style.shadow, rect);
  renderer.Draw(target, font, shown, left, top, style.colour, rect);
  return tooWide;
}
