// Drawing the splash picture with GDI's halftone stretch (see splash_dlg.h).
#include <windows.h>

#include "resource.h"
#include "ui/picture_static.h"
#include "ui/raster.h"
#include "ui/splash_dlg.h"
#include "ui/splash_picture.h"

namespace {
// The picture as a GDI bitmap (a DIB section), or nullptr when it cannot be made.
HBITMAP CreateSplashBitmap() {
  const CEmbeddedBitmap file = SplashBitmapFile();
  const std::optional<CPixelBuffer> picture = DecodeBmp24(file.data, file.size);
  return picture ? reinterpret_cast<HBITMAP>(CreatePictureHandle(*picture)) : nullptr;
}
}  // namespace

void DrawBitmapStretched(CPaintDC& dc, const CRect& rect, unsigned bitmapId) {
  HDC target = static_cast<HDC>(dc.Context());
  if (target == nullptr || bitmapId != IDB_SPLASH) return;
  // The picture never changes: it is unpacked into a bitmap once and kept for the run (every
  // repaint would otherwise unpack it again). A failure is tried again at the next paint.
  static HBITMAP bitmap = nullptr;
  if (bitmap == nullptr) bitmap = CreateSplashBitmap();
  if (bitmap == nullptr) return;
  HDC memory = CreateCompatibleDC(target);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  // Halftone averages the source pixels; it needs the brush origin set after the mode.
  SetStretchBltMode(target, HALFTONE);
  SetBrushOrgEx(target, 0, 0, nullptr);
  const int width = rect.Width() - SplashPictureMargin(GetDeviceCaps(target, LOGPIXELSX));
  const int height = rect.Height() - SplashPictureMargin(GetDeviceCaps(target, LOGPIXELSY));
  StretchBlt(target, rect.left, rect.top, width, height, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  SelectObject(memory, previous);
  DeleteDC(memory);
}
