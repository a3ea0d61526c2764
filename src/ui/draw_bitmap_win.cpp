// Drawing a bitmap resource with GDI's halftone stretch (see splash_dlg.h).
#include <windows.h>

#include "ui/splash_dlg.h"

void DrawBitmapStretched(CPaintDC& dc, const CRect& rect, unsigned bitmapId) {
  HDC target = static_cast<HDC>(dc.Context());
  if (target == nullptr) return;
  HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(bitmapId));
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
  DeleteObject(bitmap);
}
