// BMP decoding and the averaging scale of the portable drawing, and the embedded splash picture.
#include "ui/raster.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "ui/splash_picture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A 24-bit BI_RGB file of w x h (h < 0: top-down) whose pixel i (in file order) has the bytes
// B, G, R = i, i + 1, i + 2, with rows padded to 4 bytes.
Bytes MakeBmp(std::int32_t w, std::int32_t h) {
  const std::uint32_t rows = static_cast<std::uint32_t>(h < 0 ? -h : h);
  const std::uint32_t stride = (static_cast<std::uint32_t>(w) * 3 + 3) & ~3u;
  Bytes b(54 + stride * rows, 0);
  b[0] = 'B';
  b[1] = 'M';
  PutU32(b, 2, static_cast<std::uint32_t>(b.size()));
  PutU32(b, 10, 54);
  PutU32(b, 14, 40);
  PutU32(b, 18, static_cast<std::uint32_t>(w));
  PutU32(b, 22, static_cast<std::uint32_t>(h));
  b[26] = 1;   // planes
  b[28] = 24;  // bits per pixel
  int i = 0;
  for (std::uint32_t y = 0; y < rows; ++y) {
    for (std::int32_t x = 0; x < w; ++x, ++i) {
      for (int c = 0; c < 3; ++c) b[54 + y * stride + x * 3 + c] = static_cast<std::uint8_t>(i * 3 + c);
    }
  }
  return b;
}

std::string Pixel(const CPixelBuffer& p, int x, int y) {
  const std::uint8_t* q = p.At(x, y);
  return std::to_string(q[0]) + "," + std::to_string(q[1]) + "," + std::to_string(q[2]);
}

CPixelBuffer FromRows(int w, int h, const Bytes& rgb) {
  CPixelBuffer p(w, h);
  p.rgb = rgb;
  return p;
}

struct CMalformedCase {
  const char* name;
  Bytes bytes;
};

Bytes With(Bytes b, std::size_t at, std::uint32_t v, int width = 4) {
  for (int i = 0; i < width; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  return b;
}

Bytes Cut(Bytes b, std::size_t n) {
  b.resize(b.size() - n);
  return b;
}

class DecodeBmpMalformedTest : public testing::TestWithParam<CMalformedCase> {};

// Each case is one way a file can lie about itself; decoding any of them would read past the
// buffer, allocate without bound, or show header bytes or another format's bytes as pixels.
TEST_P(DecodeBmpMalformedTest, IsRefused) {
  const Bytes& b = GetParam().bytes;
  EXPECT_FALSE(DecodeBmp24(b.data(), b.size()).has_value());
}

const Bytes kGood = MakeBmp(3, 2);  // stride 12: 9 pixel bytes and 3 of padding per row

INSTANTIATE_TEST_SUITE_P(
    Table, DecodeBmpMalformedTest,
    testing::Values(
        CMalformedCase{"Empty", {}}, CMalformedCase{"HeadersCut", Bytes(kGood.begin(), kGood.begin() + 53)},
        CMalformedCase{"NotBM", With(kGood, 0, 'B' | ('A' << 8), 2)}, CMalformedCase{"CoreHeader", With(kGood, 14, 12)},
        CMalformedCase{"HeaderSizeWraps", With(kGood, 14, 0xFFFFFFF2u)},
        CMalformedCase{"TwoPlanes", With(kGood, 26, 2, 2)}, CMalformedCase{"ThirtyTwoBits", With(kGood, 28, 32, 2)},
        CMalformedCase{"Bitfields", With(kGood, 30, 3)}, CMalformedCase{"WidthZero", With(kGood, 18, 0)},
        CMalformedCase{"HeightZero", With(kGood, 22, 0)}, CMalformedCase{"WidthNegative", With(kGood, 18, 0xFFFFFFFDu)},
        CMalformedCase{"WidthTooLarge", MakeBmp(16385, 1)}, CMalformedCase{"HeightTooLarge", MakeBmp(1, 16385)},
        CMalformedCase{"TopDownTooLarge", MakeBmp(1, -16385)},
        CMalformedCase{"HeightMostNegative", With(kGood, 22, 0x80000000u)},
        CMalformedCase{"LastPaddingByteMissing", Cut(kGood, 1)},
        CMalformedCase{"PixelsInsideHeader", With(kGood, 10, 53)},
        CMalformedCase{"OffsetPastEnd", With(kGood, 10, 0xFFFFFFFFu)},
        CMalformedCase{"RowsPastEnd", With(kGood, 22, 3)}),
    [](const testing::TestParamInfo<CMalformedCase>& info) { return std::string(info.param.name); });

// Catches a decoder that refuses more than it must: a larger header, the largest side, and
// a file with spare bytes after the pixels all decode.
TEST(DecodeBmpTest, AcceptsTheLimitsOfTheFormat) {
  Bytes v5 = MakeBmp(1, 1);
  PutU32(v5, 14, 124);
  v5.insert(v5.begin() + 54, 84, 0);
  PutU32(v5, 10, 138);
  auto big = MakeBmp(16384, 1);
  big.push_back(0);
  ASSERT_TRUE(DecodeBmp24(v5.data(), v5.size()).has_value());
  EXPECT_EQ(Pixel(*DecodeBmp24(v5.data(), v5.size()), 0, 0), "2,1,0");
  const auto wide = DecodeBmp24(big.data(), big.size());
  ASSERT_TRUE(wide.has_value());
  EXPECT_EQ(wide->width, 16384);
  EXPECT_EQ(Pixel(*wide, 16383, 0), "255,254,253");  // pixel 16383: bytes 49149..49151 mod 256
}

// Catches swapped colour bytes, a row order taken the wrong way round, and padding read as a
// pixel: both orders of the same picture give the same top-down R, G, B rows.
TEST(DecodeBmpTest, BottomUpAndTopDownGiveTheSamePixels) {
  const Bytes bottomUp = MakeBmp(3, 2);
  Bytes topDown = MakeBmp(3, -2);
  // The file rows of bottomUp, in the other order.
  std::memcpy(topDown.data() + 54, bottomUp.data() + 54 + 12, 12);
  std::memcpy(topDown.data() + 54 + 12, bottomUp.data() + 54, 12);
  const auto a = DecodeBmp24(bottomUp.data(), bottomUp.size());
  const auto b = DecodeBmp24(topDown.data(), topDown.size());
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->width, 3);
  EXPECT_EQ(a->height, 2);
  // The last file row of a bottom-up file is the top of the picture.
  EXPECT_EQ(a->rgb, (Bytes{11, 10, 9, 14, 13, 12, 17, 16, 15, 2, 1, 0, 5, 4, 3, 8, 7, 6}));
  EXPECT_EQ(a->rgb, b->rgb);
}

struct CScaleCase {
  const char* name;
  int sw, sh;
  Bytes source;
  int tw, th;
  Bytes expected;
};

class ScaleAveragingTest : public testing::TestWithParam<CScaleCase> {};

// Catches nearest-neighbour or bilinear sampling, weights that ignore partial coverage, an
// axis taken for the other, truncation instead of rounding, and lost channels.
TEST_P(ScaleAveragingTest, AveragesTheCoveredArea) {
  const CScaleCase& c = GetParam();
  const CPixelBuffer out = ScaleAveraging(FromRows(c.sw, c.sh, c.source), c.tw, c.th);
  EXPECT_EQ(out.width, c.expected.empty() ? 0 : c.tw);  // an empty result is 0 x 0
  EXPECT_EQ(out.height, c.expected.empty() ? 0 : c.th);
  EXPECT_EQ(out.rgb, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScaleAveragingTest,
    testing::Values(
        // R and G: (10 + 20 + 30 + 42) / 4 = 25.5 rounds up; B: 1 / 4 rounds down.
        CScaleCase{"TwoByTwoToOne", 2, 2, {10, 42, 0, 20, 30, 1, 30, 20, 0, 42, 10, 0}, 1, 1, {26, 26, 0}},
        // Target 0 covers source 0 and half of 1: (0 + 45) / 1.5 = 30; target 1: (45 + 180) / 1.5.
        CScaleCase{"ThreeToTwoAcross", 3, 1, {0, 0, 0, 90, 90, 90, 180, 180, 180}, 2, 1, {30, 30, 30, 150, 150, 150}},
        CScaleCase{"ThreeToTwoDown", 1, 3, {0, 3, 6, 90, 93, 96, 180, 183, 186}, 1, 2, {30, 33, 36, 150, 153, 156}},
        // Enlarging: each target pixel lies inside one source pixel, except the middle one.
        CScaleCase{"TwoToThree", 2, 1, {0, 0, 0, 90, 90, 90}, 3, 1, {0, 0, 0, 45, 45, 45, 90, 90, 90}},
        CScaleCase{"IdentityCopies",
                   2,
                   2,
                   {1, 2, 3, 4, 5, 6, 7, 8, 9, 250, 251, 255},
                   2,
                   2,
                   {1, 2, 3, 4, 5, 6, 7, 8, 9, 250, 251, 255}},
        CScaleCase{"ZeroWidth", 2, 2, Bytes(12, 7), 0, 5, {}},
        CScaleCase{"NegativeHeight", 2, 2, Bytes(12, 7), 5, -1, {}}),
    [](const testing::TestParamInfo<CScaleCase>& info) { return std::string(info.param.name); });

// Catches a build that embeds another file than the committed picture, or packs it so that
// it does not unpack to every byte of it, and a picture the decoder cannot read or reads
// upside down.
TEST(SplashPictureTest, EmbeddedBytesAreTheCommittedPicture) {
  const std::string committed = ReadFileBytes(BuildPathForTesting(WEBSETUP_SPLASH_BMP));
  const CEmbeddedBitmap packed = EmbeddedSplashPicture();
  EXPECT_LT(packed.size, committed.size() / 3);
  const std::vector<std::uint8_t> embedded = UnpackPicture(packed.data, packed.size);
  ASSERT_EQ(embedded.size(), committed.size());
  EXPECT_EQ(std::memcmp(embedded.data(), committed.data(), committed.size()), 0);
  const auto picture = DecodeBmp24(embedded.data(), embedded.size());
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->width, 550);
  EXPECT_EQ(picture->height, 300);
  EXPECT_EQ(Pixel(*picture, 0, 0), "14,23,64");       // dark navy at the top left
  EXPECT_EQ(Pixel(*picture, 549, 299), "6,109,133");  // teal at the bottom right
}

}  // namespace
