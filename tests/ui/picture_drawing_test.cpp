// The picture control's drawing on pixel buffers: frame, grid, picture placement, transparent
// pictures, the parent's background, the text lines with their marquee, and the buffer cache.
#include "ui/picture_drawing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/fixed_fonts.h"
#include "ui/picture_composer.h"
#include "ui/picture_text.h"

namespace {

using Rgbs = std::vector<CRgb>;

std::string Show(CRgb c) { return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b); }
std::string Show(const CRect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

CPixelBuffer FromPixels(int w, int h, const Rgbs& pixels) {
  CPixelBuffer b(w, h);
  for (int i = 0; i < w * h; ++i) b.Set(i % w, i / w, pixels[static_cast<std::size_t>(i)]);
  return b;
}

Rgbs Pixels(const CPixelBuffer& b) {
  Rgbs out;
  for (int y = 0; y < b.height; ++y) {
    for (int x = 0; x < b.width; ++x) out.push_back(b.Get(x, y));
  }
  return out;
}

// The smallest rectangle holding every pixel of colour c; 0,0,0,0 when there is none.
CRect InkBox(const CPixelBuffer& b, CRgb c) {
  CRect box{b.width, b.height, 0, 0};
  for (int y = 0; y < b.height; ++y) {
    for (int x = 0; x < b.width; ++x) {
      if (!(b.Get(x, y) == c)) continue;
      box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
    }
  }
  return box.right == 0 ? CRect{} : box;
}

class CTestHost : public CPictureHost {
 public:
  std::optional<CPixelBuffer> LoadBitmap(const CPictureKey& key) override {
    ++loads;
    if (key == pictureKey) return picture;
    return std::nullopt;
  }
  CParentView ParentView() override { return {}; }
  CFontRenderer& Fonts() override { return fonts; }
  void OnDrawBackground(CPixelBuffer&, const CRect&) override { ++backgroundHooks; }
  void OnDrawOverlay(CPixelBuffer&, const CRect&) override {}

  CPictureKey pictureKey{7, 0};
  CPixelBuffer picture = FromPixels(1, 1, {{0, 200, 0}});
  CFixedFonts fonts;
  int loads = 0, backgroundHooks = 0;
};

constexpr CRgb kBlue{0, 0, 255};
constexpr CRgb kWhite{255, 255, 255};

// Catches the bevel profile computed with other rounding or integer steps.
TEST(BevelFrameTest, RingFactors) {
  std::vector<CBevelRing> rings;
  for (int i = 1; i < 8; ++i) rings.push_back(BevelRing(8, i));
  EXPECT_EQ(rings,
            (std::vector<CBevelRing>{
                {0, 50, 206}, {1, 76, 180}, {2, 94, 162}, {3, 106, 150}, {4, 116, 140}, {5, 122, 134}, {6, 126, 130}}));
}

struct CFramePixel {
  const char* name;
  int frameWidth;
  int x, y;
  CRgb expected;
};

class DefaultControlTest : public testing::TestWithParam<CFramePixel> {};

// Catches a frame that visits other pixels or in another order, shades a pixel listed twice
// only once, touches the untouched middle, or wraps a negative factor: a 20 x 16 control with
// every default paints mid grey under its frame.
TEST_P(DefaultControlTest, FramePixel) {
  const CFramePixel& c = GetParam();
  CTestHost host;
  CPictureSettings settings;
  settings.frameWidth = c.frameWidth;
  CPictureComposer composer;
  int offset = 0;
  EXPECT_FALSE(composer.Compose(20, 16, settings, offset, host));
  EXPECT_EQ(Show(composer.Composition().Get(c.x, c.y)), Show(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Table, DefaultControlTest,
                         testing::Values(CFramePixel{"TopLeftOnce", 8, 0, 0, {50, 50, 50}},
                                         CFramePixel{"TopRightTopThenRight", 8, 19, 0, {80, 80, 80}},
                                         CFramePixel{"BottomLeftLeftThenBottom", 8, 0, 15, {80, 80, 80}},
                                         CFramePixel{"BottomRightRightOnly", 8, 19, 15, {206, 206, 206}},
                                         CFramePixel{"RingOneCornerTwice", 8, 1, 1, {45, 45, 45}},
                                         CFramePixel{"InnerRingsCrossing", 8, 18, 14, {253, 253, 253}},
                                         CFramePixel{"MiddleUntouched", 8, 10, 7, {128, 128, 128}},
                                         CFramePixel{"WiderThanRadiusDarkensToBlack", 200, 0, 0, {0, 0, 0}}),
                         [](const testing::TestParamInfo<CFramePixel>& info) { return std::string(info.param.name); });

// Catches a shade that is not held at 255 or that mixes the channels.
TEST(BevelFrameTest, ShadeHoldsEachChannelAt255) {
  CPixelBuffer b = FromPixels(3, 3, Rgbs(9, CRgb{200, 100, 10}));
  ShadeRing(b, {0, 0, 3, 3}, {0, 50, 206});
  EXPECT_EQ(Show(b.Get(1, 0)), "78,39,3");     // top edge only
  EXPECT_EQ(Show(b.Get(2, 1)), "255,160,16");  // right edge only
  EXPECT_EQ(Show(b.Get(2, 0)), "125,62,4");    // top edge, then right edge
}

struct CGridCase {
  const char* name;
  int rows, columns;
  // Rows: down columns 0, 20 and 21; columns: along rows 3, 20 and 21 (L line, h highlight).
  std::string expected;
};

class DrawGridTest : public testing::TestWithParam<CGridCase> {};

std::string GridProfile(const CPixelBuffer& b, bool down, int at) {
  std::string s;
  for (int i = 0; i < (down ? b.height : b.width); ++i) {
    const CRgb c = down ? b.Get(at, i) : b.Get(i, at);
    s += c == CRgb{220, 220, 220} ? 'L' : c == CRgb{250, 250, 250} ? 'h' : '.';
  }
  return s;
}

// Grid (4, 4, 21, 21) in a 30 x 25 buffer. Catches positions from an exact product instead of
// the single-precision sum (4 + 3 x 17 / 6 is 12.5 exactly, 12.4999 summed), lines drawn to
// their end point or from the wrong start, horizontal lines that start at the grid's left, and
// highlights drawn over the lines.
TEST_P(DrawGridTest, LinePositions) {
  const CGridCase& c = GetParam();
  CPixelBuffer b(30, 25);
  DrawGrid(b, {4, 4, 21, 21}, c.rows, c.columns, {220, 220, 220}, {250, 250, 250});
  if (c.rows > 0) {
    EXPECT_EQ(GridProfile(b, true, 0) + "|" + GridProfile(b, true, 20) + "|" + GridProfile(b, true, 21), c.expected);
  } else {
    EXPECT_EQ(GridProfile(b, false, 3) + "|" + GridProfile(b, false, 20) + "|" + GridProfile(b, false, 21), c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DrawGridTest,
    testing::Values(
        CGridCase{"Rows", 5, 0, "......hL.hLhL.hL.hL......|.......L..L.L..L..L......|........................."},
        CGridCase{"Columns", 0, 5,
                  "......h..h.h..h..h............|.......L..L.L..L..L...........|.............................."}),
    [](const testing::TestParamInfo<CGridCase>& info) { return std::string(info.param.name); });

struct CPlaceCase {
  const char* name;
  CRect rect;
  int pictureWidth, pictureHeight;
  CPictureFit fit;
  CPicturePlacement expected;
};

class PlacePictureTest : public testing::TestWithParam<CPlaceCase> {};

// Catches crop and scale mixed up, a crop that is not limited by the picture, keep aspect on
// the wrong side or off centre, and a source part taken from the narrowed rectangle.
TEST_P(PlacePictureTest, SourceAndTarget) {
  const CPlaceCase& c = GetParam();
  const CPicturePlacement p = PlacePicture(c.rect, c.pictureWidth, c.pictureHeight, c.fit);
  EXPECT_EQ(std::to_string(p.sourceWidth) + "x" + std::to_string(p.sourceHeight) + " " + Show(p.target),
            std::to_string(c.expected.sourceWidth) + "x" + std::to_string(c.expected.sourceHeight) + " " +
                Show(c.expected.target));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlacePictureTest,
    testing::Values(
        CPlaceCase{"CropLarger", {10, 20, 110, 70}, 300, 200, {}, {100, 50, {10, 20, 110, 70}}},
        CPlaceCase{"CropSmallerStretches", {10, 20, 110, 70}, 40, 30, {}, {40, 30, {10, 20, 110, 70}}},
        CPlaceCase{"ScaleWhole", {10, 20, 110, 70}, 300, 200, {true}, {300, 200, {10, 20, 110, 70}}},
        CPlaceCase{"AspectTwoToOne", {0, 0, 100, 100}, 80, 40, {true, true}, {80, 40, {0, 25, 100, 75}}},
        CPlaceCase{"AspectOneToTwo", {0, 0, 100, 100}, 40, 80, {true, true}, {40, 80, {25, 0, 75, 100}}},
        CPlaceCase{"AspectOddDifference", {0, 0, 101, 101}, 80, 40, {true, true}, {80, 40, {0, 25, 101, 76}}},
        CPlaceCase{"AspectInCropMode", {0, 0, 100, 100}, 200, 100, {false, true}, {100, 100, {0, 25, 100, 75}}}),
    [](const testing::TestParamInfo<CPlaceCase>& info) { return std::string(info.param.name); });

// Catches a crop that scales the whole picture anyway: a 4 x 2 picture in a 2 x 2 rectangle
// shows its left half 1:1 when cropped, and each pair of columns averaged when scaled.
TEST(DrawPictureTest, CropShowsTopLeftOneToOne) {
  const CPixelBuffer picture = FromPixels(
      4, 2, {{10, 0, 0}, {20, 0, 0}, {30, 0, 0}, {40, 0, 0}, {50, 0, 0}, {60, 0, 0}, {70, 0, 0}, {80, 0, 0}});
  CPixelBuffer cropped(2, 2), scaled(2, 2);
  DrawPicture(cropped, {0, 0, 2, 2}, picture, {});
  DrawPicture(scaled, {0, 0, 2, 2}, picture, {true});
  EXPECT_EQ(Pixels(cropped), (Rgbs{{10, 0, 0}, {20, 0, 0}, {50, 0, 0}, {60, 0, 0}}));
  EXPECT_EQ(Pixels(scaled), (Rgbs{{15, 0, 0}, {35, 0, 0}, {55, 0, 0}, {75, 0, 0}}));
}

constexpr CRgb kKey{255, 0, 255};
constexpr CRgb kOld{9, 9, 9};

struct CTransparentCase {
  const char* name;
  int pictureWidth, pictureHeight;
  Rgbs picture;
  CRect dest;  // in a 4 x 1 target of kOld
  Rgbs expected;
};

class TransparentStretchTest : public testing::TestWithParam<CTransparentCase> {};

// Catches a mask that reduces by majority or by sampling one source pixel, a picture drawn over
// transparent pixels, and a target changed outside the destination.
TEST_P(TransparentStretchTest, TargetShowsThroughWhereAllSourcePixelsAreTransparent) {
  const CTransparentCase& c = GetParam();
  CPixelBuffer target = FromPixels(4, 1, Rgbs(4, kOld));
  const CPixelBuffer picture = FromPixels(c.pictureWidth, c.pictureHeight, c.picture);
  TransparentStretch(target, c.dest, picture, c.pictureWidth, c.pictureHeight);
  EXPECT_EQ(Pixels(target), c.expected);
}

constexpr CRgb kOpaque{0, 0, 200};
INSTANTIATE_TEST_SUITE_P(
    Table, TransparentStretchTest,
    testing::Values(
        // Left 2 x 2 all transparent; right 2 x 2 one transparent pixel: opaque, averaged.
        CTransparentCase{"ReducedHalvesAllAndThreeQuarters",
                         4,
                         2,
                         {kKey, kKey, kKey, kOpaque, kKey, kKey, kOpaque, kOpaque},
                         {1, 0, 3, 1},
                         {kOld, kOld, {64, 0, 214}, kOld}},
        // Left 2 x 2 with one opaque pixel out of four stays opaque.
        CTransparentCase{"OneOpaqueOfFourIsOpaque",
                         4,
                         2,
                         {kKey, kKey, kKey, kKey, kKey, {10, 20, 30}, kKey, kKey},
                         {0, 0, 2, 1},
                         {{194, 5, 199}, kOld, kOld, kOld}},
        CTransparentCase{"Enlarged", 2, 1, {kKey, {200, 0, 0}}, {0, 0, 4, 1}, {kOld, kOld, {200, 0, 0}, {200, 0, 0}}}),
    [](const testing::TestParamInfo<CTransparentCase>& info) { return std::string(info.param.name); });

// Catches the parent's picture mapped through the wrong size or position, and a stand-in
// without its outline: a 4 x 4 control at (4, 0) of an 8 x 8 parent shows the parent
// picture's 2 x 2 part at (2, 0) doubled; at (0, 0) without a parent picture, the outlined
// stand-in's top-left 2 x 2 part.
TEST(ParentBackgroundTest, StretchesTheControlsShareOfTheParent) {
  Rgbs parentPixels;
  for (int i = 0; i < 16; ++i) parentPixels.push_back({static_cast<std::uint8_t>(i * 10), 0, 0});
  const CPixelBuffer parent = FromPixels(4, 4, parentPixels);
  CPixelBuffer shared(4, 4), fallback(4, 4);
  DrawParentBackground(shared, &parent, {{4, 0, 8, 4}, 8, 8, {}});
  DrawParentBackground(fallback, nullptr, {{0, 0, 4, 4}, 8, 8, {100, 150, 200}});
  EXPECT_EQ(Show(shared.Get(0, 0)) + " " + Show(shared.Get(3, 3)), "20,0,0 70,0,0");
  EXPECT_EQ(Show(fallback.Get(1, 1)) + " " + Show(fallback.Get(2, 2)), "0,0,0 100,150,200");
}

struct CTextCase {
  const char* name;
  int width, height;
  int line;  // 0, 1, 2
  std::wstring text;
  int flags;
  bool blink, blinkVisible;
  int offsetBefore, offsetAfter;
  bool marquee;
  CRect ink;  // of the text colour; 0,0,0,0 for none
};

class TextLineTest : public testing::TestWithParam<CTextCase> {};

// Glyphs of text size 140 at reference height 0 are 7 x 14 pixels; the frame insets the lines
// by 4, left and right alignment by 4 more. Catches alignment points and vertical centring
// off by their halves, text 2 placed from its own size instead of the default font's 16
// pixels, blinking lines drawn in the hidden phase, the marquee starting at "exactly as wide",
// and its offset wrapping a cycle early or late (10 glyphs and 7 spaces: 119 pixels).
TEST_P(TextLineTest, InkAndMarquee) {
  const CTextCase& c = GetParam();
  CTestHost host;
  CPictureSettings settings;
  CPictureTextLine& line = settings.lines[static_cast<std::size_t>(c.line)];
  line = {c.text, 140, c.blink, c.flags, kBlue};
  settings.blinkVisible = c.blinkVisible;
  CPictureComposer composer;
  int offset = c.offsetBefore;
  EXPECT_EQ(composer.Compose(c.width, c.height, settings, offset, host), c.marquee);
  EXPECT_EQ(offset, c.offsetAfter);
  EXPECT_EQ(Show(InkBox(composer.Composition(), kBlue)), Show(c.ink));
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextLineTest,
    testing::Values(
        CTextCase{"Left", 100, 40, 0, L"ABCD", 0, false, true, 0, 0, false, {8, 4, 36, 18}},
        CTextCase{"Right", 100, 40, 0, L"ABCD", 2, false, true, 0, 0, false, {64, 4, 92, 18}},
        CTextCase{"Centre", 100, 40, 0, L"ABCD", 6, false, true, 0, 0, false, {36, 4, 64, 18}},
        CTextCase{"Bottom", 100, 40, 0, L"ABCD", 8, false, true, 0, 0, false, {8, 22, 36, 36}},
        CTextCase{"CentredVertically", 100, 40, 0, L"ABCD", 0x10, false, true, 0, 0, false, {8, 13, 36, 27}},
        CTextCase{"SecondLineBelowDefaultFont", 100, 80, 1, L"ABCD", 0x10, false, true, 0, 0, false, {8, 33, 36, 47}},
        // 1.2 default-font lines (19 pixels) from the top and from the bottom.
        CTextCase{"SecondLineTop", 100, 80, 1, L"ABCD", 0, false, true, 0, 0, false, {8, 23, 36, 37}},
        CTextCase{"SecondLineBottom", 100, 80, 1, L"ABCD", 8, false, true, 0, 0, false, {8, 43, 36, 57}},
        CTextCase{"BlinkHidden", 100, 40, 2, L"ABCD", 0, true, false, 0, 0, false, {}},
        CTextCase{"BlinkShown", 100, 40, 2, L"ABCD", 0, true, true, 0, 0, false, {8, 4, 36, 18}},
        CTextCase{"ExactlyAsWide", 78, 40, 0, L"ABCDEFGHIJ", 0, false, true, 0, 0, false, {8, 4, 74, 18}},
        CTextCase{"OnePixelWider", 77, 40, 0, L"ABCDEFGHIJ", 0, false, true, 0, 0, true, {4, 4, 70, 18}},
        CTextCase{"MarqueeBeforeWrap", 77, 40, 0, L"ABCDEFGHIJ", 6, false, true, -118, -118, true, {4, 4, 71, 18}},
        CTextCase{"MarqueeWraps", 77, 40, 0, L"ABCDEFGHIJ", 6, false, true, -119, 0, true, {4, 4, 70, 18}}),
    [](const testing::TestParamInfo<CTextCase>& info) { return std::string(info.param.name); });

// Catches a reference height taken anew at every paint (the text would never grow) or never
// taken: 14 pixels at the first paint's height 40, 28 when the control doubles; and a shadow
// in the wrong place or colour.
TEST(TextSizeTest, ReferenceHeightFromTheFirstPaint) {
  CTestHost host;
  CPictureSettings settings;
  settings.lines[0] = {L"AB", 140, false, 0, kBlue};
  CPictureComposer composer;
  int offset = 0;
  composer.Compose(100, 40, settings, offset, host);
  EXPECT_EQ(Show(InkBox(composer.Composition(), kBlue)), "8,4,22,18");
  EXPECT_EQ(Show(InkBox(composer.Composition(), kWhite)), "9,5,23,19");
  composer.Compose(100, 80, settings, offset, host);
  EXPECT_EQ(settings.referenceHeight, 40);
  EXPECT_EQ(Show(InkBox(composer.Composition(), kBlue)), "8,4,36,32");
}

// Catches a background rebuilt for every paint (a marquee would redraw the picture 50 times a
// second) or not rebuilt when the size or the picture changes, a picture loaded again for an
// unchanged key, and a grid or background hook without a picture.
TEST(PictureComposerTest, BackgroundRebuiltOnlyForSizeOrPicture) {
  CTestHost host;
  CPictureSettings settings;
  settings.gridRows = 1;  // a line at row 20 of a 40-high control
  CPictureComposer composer;
  int offset = 0;
  composer.Compose(60, 40, settings, offset, host);
  EXPECT_EQ(Show(composer.Composition().Get(30, 20)), "128,128,128");
  EXPECT_EQ(host.backgroundHooks, 0);
  settings.lines[0].text = L"changed";
  composer.Compose(60, 40, settings, offset, host);
  EXPECT_EQ(composer.BackgroundRebuildsForTesting(), 1);
  composer.Compose(60, 41, settings, offset, host);
  composer.Compose(60, 40, settings, offset, host);
  EXPECT_EQ(composer.BackgroundRebuildsForTesting(), 3);
  settings.picture = host.pictureKey;
  composer.Compose(60, 40, settings, offset, host);
  EXPECT_EQ(composer.BackgroundRebuildsForTesting(), 4);
  EXPECT_EQ(Show(composer.Composition().Get(30, 20)), "220,220,220");
  EXPECT_EQ(Show(composer.Composition().Get(30, 25)), "0,200,0");
  EXPECT_EQ(host.backgroundHooks, 1);
  composer.Compose(60, 40, settings, offset, host);
  EXPECT_EQ(composer.BackgroundRebuildsForTesting(), 4);
  composer.Compose(60, 41, settings, offset, host);
  EXPECT_EQ(composer.BackgroundRebuildsForTesting(), 5);
  EXPECT_EQ(host.loads, 1);
}

}  // namespace
