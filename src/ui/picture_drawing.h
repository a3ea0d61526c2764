// The picture control's drawing steps on plain pixel buffers, the same on every platform: the
// picture cropped, scaled or fitted, transparent pictures, the parent's background, the grid
// and the bevel frame.
#pragma once

#include "framework/dialog.h"
#include "ui/raster.h"

// How a picture meets the rectangle it is drawn into.
struct CPictureFit {
  bool scaleWhole = false;   // false: crop mode, the picture's top-left part at 1:1 where it is larger
  bool keepAspect = false;   // the target shrinks to the picture's aspect ratio, centred
  bool transparent = false;  // the colour of the picture's top-left pixel lets the target show through
};

// The part of the picture that is drawn (from its top-left pixel) and where it is stretched to.
struct CPicturePlacement {
  int sourceWidth = 0, sourceHeight = 0;
  CRect target;
  bool operator==(const CPicturePlacement&) const = default;
};

// Where a pictureWidth x pictureHeight picture goes in rect. The source part is taken from
// rect before keep aspect narrows it, so a cropped picture keeps its 1:1 part.
CPicturePlacement PlacePicture(const CRect& rect, int pictureWidth, int pictureHeight, const CPictureFit& fit);

// Draws picture into rect of target as PlacePicture places it, stretched with the averaging
// scale; returns the rectangle drawn into (the hot-spot test maps points through it). An
// empty picture or an empty target rectangle draws nothing.
CRect DrawPicture(CPixelBuffer& target, const CRect& rect, const CPixelBuffer& picture, const CPictureFit& fit);

// The sourceWidth x sourceHeight top-left part of picture, averaged onto dest, except where the
// reduced picture is transparent: there the target keeps its own pixels. A reduced pixel is
// transparent only where every source pixel it takes has the colour of the picture's
// top-left pixel, so a thin opaque outline never vanishes when a picture shrinks.
void TransparentStretch(CPixelBuffer& target, const CRect& dest, const CPixelBuffer& picture, int sourceWidth,
                        int sourceHeight);

// What the control sees of its parent when it takes its background from there.
struct CParentView {
  CRect placement;            // the control's client rectangle in the parent's client coordinates
  int width = 0, height = 0;  // the parent's client size
  CRgb screenColour;          // the colour of the control's pixel (0, 0) as it shows on screen
};

// Fills target (the control's client size) with the part of the parent's picture that the
// parent shows stretched under the control. Without a parent picture, a picture of the
// control's size in the screen colour, outlined one pixel black, stands in for it.
void DrawParentBackground(CPixelBuffer& target, const CPixelBuffer* parentPicture, const CParentView& parent);

// rows horizontal and columns vertical etched lines spread evenly over rect: a highlight line
// one pixel up and left of each line. Horizontal lines run from the buffer's left edge.
void DrawGrid(CPixelBuffer& target, const CRect& rect, int rows, int columns, CRgb line, CRgb highlight);

// One ring of the bevel frame, k counted from the outside: factors in 128ths for the darkened
// (top, left) and the brightened (right, bottom) edges.
struct CBevelRing {
  int k = 0, dark = 0, light = 0;
  bool operator==(const CBevelRing&) const = default;
};

// Ring i (1 .. frameWidth - 1) of a frame of frameWidth pixels: a quarter-circle depth profile.
CBevelRing BevelRing(int frameWidth, int i);

// Shades one ring of rect: each channel times the factor, divided by 128, held within 0..255.
// The four edges overlap at some corners and the edges of neighbouring rings cross; every
// listing of a pixel shades it again.
void ShadeRing(CPixelBuffer& target, const CRect& rect, const CBevelRing& ring);

// The sunken frame over rect: rings 0 .. frameWidth - 2 from the outside in.
void DrawBevelFrame(CPixelBuffer& target, const CRect& rect, int frameWidth);
