// Pixel buffers as Cairo surfaces, for the Linux drawing code.
#pragma once

#include <cairo.h>

#include <cstdint>

// A new 24-bit image surface holding width x height pixels given as R, G, B bytes in top-down
// rows; the caller destroys it.
cairo_surface_t* NewRgbSurface(const std::uint8_t* rgb, int width, int height);
