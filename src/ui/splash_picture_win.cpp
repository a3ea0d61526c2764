// The packed splash picture on Windows: the program's resource IDB_SPLASH, of type RCDATA.
#include <windows.h>

#include "resource.h"
#include "ui/splash_picture.h"

CEmbeddedBitmap PackedSplashPicture() {
  // A resource loaded from the program's own file stays mapped for the whole run; nothing is
  // ever freed.
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDB_SPLASH), RT_RCDATA);
  HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return {nullptr, 0};
  return {static_cast<const unsigned char*>(bytes), SizeofResource(nullptr, found)};
}
