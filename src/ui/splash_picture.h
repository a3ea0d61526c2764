// The splash picture as compiled into every build, for drawing it where the platform has no
// bitmap resources and for computing the expected picture in tests.
#pragma once

#include <cstddef>

// The splash picture's BMP file bytes, compiled into the program.
struct CEmbeddedBitmap {
  const unsigned char* data;
  std::size_t size;
};
CEmbeddedBitmap SplashBitmapFile();
