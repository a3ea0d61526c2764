// The packed splash picture on Linux: an array compiled into the program.
#include "ui/splash_picture.h"

CEmbeddedBitmap PackedSplashPicture() { return EmbeddedSplashPicture(); }
