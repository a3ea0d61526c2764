// The picture controls' own rules, without a window: messages, the blink timer, the marquee
// thread's life, and the hot-spot control's hit test, presses and cursor.
#include "ui/picture_static.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "ui/fixed_fonts.h"

namespace {

constexpr CRgb kBlue{0, 0, 255};
constexpr CRgb kMagenta{255, 0, 255};

class CTestControl : public CHotSpotStatic {
 public:
  CTestControl() { SetFontRendererForTesting(&fonts); }
  CFixedFonts fonts;
};

// Whether any pixel of the composition has colour c.
bool Shows(const CPixelBuffer& b, CRgb c) {
  for (int y = 0; y < b.height; ++y) {
    for (int x = 0; x < b.width; ++x) {
      if (b.Get(x, y) == c) return true;
    }
  }
  return false;
}

// Waits (at most 5 s) until done() holds.
template <class Done>
bool WaitFor(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Catches a reference height message that is ignored, answers non-zero, or is read from
// wParam: after it, text size 140 gives 14-pixel text at the client height of the next paint.
TEST(PictureStaticTest, ReferenceHeightMessage) {
  CTestControl control;
  control.m_settings.lines[0] = {L"AB", 140, false, 0, kBlue};
  control.PaintBuffers(100, 40);
  EXPECT_EQ(control.m_settings.referenceHeight, 40);
  EXPECT_EQ(control.OnControlMessage(WM_PICTURE_SETREFHEIGHT, 77, 0), 0);
  EXPECT_EQ(control.m_settings.referenceHeight, 0);
  control.PaintBuffers(100, 80);
  EXPECT_EQ(control.m_settings.referenceHeight, 80);
  EXPECT_EQ(control.OnControlMessage(WM_PICTURE_SETREFHEIGHT, 0, 20), 0);
  control.PaintBuffers(100, 80);  // 80 * 140 / 200 = 56 pixels: the glyphs are 28 wide
  EXPECT_EQ(control.Composition().Get(8 + 55, 4 + 55), kBlue);
  EXPECT_EQ(control.OnControlMessage(kWmEraseBkgnd, 0, 0), 1);
}

// Catches a blink phase that does not toggle per tick, a timer left running with nothing to
// blink or after the window is gone, and a handler that claims other timers.
TEST(PictureStaticTest, BlinkTimer) {
  CTestControl control;
  control.m_settings.lines[2] = {L"AB", 140, true, 0, kBlue};
  control.SetTimer(kBlinkTimerId, 500);
  control.PaintBuffers(100, 40);
  EXPECT_TRUE(Shows(control.Composition(), kBlue));
  EXPECT_EQ(control.OnControlMessage(kWmTimer, kBlinkTimerId, 0), 0);
  control.PaintBuffers(100, 40);
  EXPECT_FALSE(Shows(control.Composition(), kBlue));
  control.OnControlMessage(kWmTimer, kBlinkTimerId, 0);
  control.PaintBuffers(100, 40);
  EXPECT_TRUE(Shows(control.Composition(), kBlue));
  EXPECT_EQ(control.OnControlMessage(kWmTimer, 2, 0), std::nullopt);
  EXPECT_TRUE(control.HasTimer(kBlinkTimerId));
  control.m_settings.lines[2].blink = false;
  control.OnControlMessage(kWmTimer, kBlinkTimerId, 0);
  EXPECT_FALSE(control.HasTimer(kBlinkTimerId));
  EXPECT_TRUE(control.m_settings.blinkVisible);

  // A window destroyed while its line still blinks takes its timer along.
  control.m_settings.lines[2].blink = true;
  control.SetTimer(kBlinkTimerId, 500);
  control.OnControlMessage(kWmDestroy, 0, 0);
  EXPECT_FALSE(control.HasTimer(kBlinkTimerId));
}

// Catches a marquee that does not start for a too-wide line, moves by another step than a
// 250th of the width (4 pixels at 1000), keeps running once the line fits, or outlives the
// window's destruction (the thread would then touch released buffers, or a destroyed object:
// the sanitizer build sees that).
TEST(PictureStaticTest, MarqueeThreadLife) {
  auto control = std::make_unique<CTestControl>();
  control->m_settings.lines[0] = {std::wstring(200, L'A'), 140, false, 0, kBlue};  // 1400 pixels
  control->PaintBuffers(1000, 40);
  EXPECT_TRUE(control->MarqueeRunning());
  std::set<int> seen;
  ASSERT_TRUE(WaitFor([&] {
    seen.insert(control->MarqueeOffset());
    return seen.size() >= 4;
  }));
  for (const int offset : seen) EXPECT_EQ(offset % 4, 0) << offset;
  control->m_settings.lines[0].text = L"fits";
  control->PaintBuffers(1000, 40);
  ASSERT_TRUE(WaitFor([&] { return !control->MarqueeRunning(); }));

  control->m_settings.lines[0].text = std::wstring(200, L'A');
  control->PaintBuffers(1000, 40);
  EXPECT_TRUE(control->MarqueeRunning());
  control->OnControlMessage(kWmDestroy, 0, 0);
  EXPECT_FALSE(control->MarqueeRunning());
  EXPECT_FALSE(control->HoldsMarqueeThread());
  EXPECT_TRUE(control->Composition().Empty());
  const int stopped = control->MarqueeOffset();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(control->MarqueeOffset(), stopped);

  // Destroyed with the marquee running and no window at all.
  control->PaintBuffers(1000, 40);
  EXPECT_TRUE(control->MarqueeRunning());
  control.reset();
}

// Catches a step that is not a 250th of the width (the text would not cross in five seconds)
// or that stops the marquee on a narrow control.
TEST(PictureStaticTest, MarqueeStepIsA250thOfTheWidth) {
  EXPECT_EQ(MarqueeStep(1000), 4);
  EXPECT_EQ(MarqueeStep(2500), 10);
  EXPECT_EQ(MarqueeStep(499), 1);
  EXPECT_EQ(MarqueeStep(0), 1);
}

// Catches a paint that does not keep the offset its text line has wrapped: the marquee would
// scroll out of sight for good. 20 glyphs of 7 pixels and 7 spaces go round in 189 pixels.
TEST(PictureStaticTest, MarqueeOffsetWrapsAtThePaint) {
  for (const auto& [before, wrapped] : {std::pair{-188, false}, std::pair{-189, true}}) {
    CTestControl control;
    control.m_settings.lines[0] = {std::wstring(20, L'A'), 140, false, 0, kBlue};
    control.SetMarqueeOffsetForTesting(before);
    control.PaintBuffers(100, 40);
    // The thread, started by this paint, may have taken its first 1-pixel step.
    if (wrapped) {
      EXPECT_GE(control.MarqueeOffset(), -1) << before;
    } else {
      EXPECT_LE(control.MarqueeOffset(), -188) << before;
    }
  }
}

// Catches a marquee that is not stopped by hidden texts.
TEST(PictureStaticTest, HiddenTextsStopTheMarquee) {
  CTestControl control;
  control.m_settings.lines[0] = {std::wstring(200, L'A'), 140, false, 0, kBlue};
  control.PaintBuffers(1000, 40);
  EXPECT_TRUE(control.MarqueeRunning());
  control.m_settings.hideTexts = true;
  control.PaintBuffers(1000, 40);
  EXPECT_TRUE(WaitFor([&] { return !control.MarqueeRunning(); }));
}

// A 4 x 2 picture, magenta in its left half (the corner colour, so transparent), blue in its
// right half, stretched to 40 x 20 at (10, 10) inside a 60 x 40 control.
struct CHitCase {
  const char* name;
  bool transparent;
  bool painted;  // before the first paint no picture buffer exists
  int x, y;
  bool overTransparent;
};

class HotSpotTest : public testing::TestWithParam<CHitCase> {};

// Catches a hit test that reads the screen instead of the picture, maps points with the
// wrong rectangle or rounding, counts the right or bottom edge as inside, or swallows presses
// while the picture is not transparent; and a cursor that ignores the last move.
TEST_P(HotSpotTest, PressesAndCursorFollowTheLastMove) {
  const CHitCase& c = GetParam();
  CTestControl control;
  CPixelBuffer picture(4, 2);
  FillRect(picture, {0, 0, 2, 2}, kMagenta);
  FillRect(picture, {2, 0, 4, 2}, kBlue);
  control.m_settings.picture.handle = CreatePictureHandle(picture);
  control.m_settings.transparentPicture = c.transparent;
  control.m_settings.scaleWholePicture = true;
  control.m_settings.pictureInsideFrame = true;
  control.m_settings.frameWidth = 20;  // inner rectangle (10, 10, 50, 30)
  control.m_settings.handCursor = true;
  if (c.painted) control.PaintBuffers(60, 40);

  EXPECT_EQ(control.OnControlMessage(kWmMouseMove, 0, MakePointParam(c.x, c.y)), std::nullopt);
  EXPECT_EQ(control.OverTransparentArea(), c.overTransparent);
  const std::optional<LRESULT_T> press = control.OnControlMessage(kWmLButtonDown, 0, MakePointParam(c.x, c.y));
  EXPECT_EQ(press, c.overTransparent ? std::optional<LRESULT_T>(0) : std::nullopt);
  const std::optional<LRESULT_T> cursor = control.OnControlMessage(kWmSetCursor, 0, 0);
  EXPECT_EQ(cursor, c.overTransparent ? std::nullopt : std::optional<LRESULT_T>(1));

  // The cursor keeps the decision of the last move, whatever the press did.
  control.m_settings.handCursor = false;
  EXPECT_EQ(control.OnControlMessage(kWmSetCursor, 0, 0), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Table, HotSpotTest,
                         testing::Values(CHitCase{"OpaquePixel", true, true, 30, 15, false},
                                         CHitCase{"CornerColourPixel", true, true, 29, 15, true},
                                         CHitCase{"OutsideThePicture", true, true, 5, 15, true},
                                         CHitCase{"RightEdgeIsOutside", true, true, 50, 15, true},
                                         CHitCase{"BottomEdgeIsOutside", true, true, 45, 30, true},
                                         CHitCase{"LastOpaqueCorner", true, true, 49, 29, false},
                                         CHitCase{"NotTransparent", false, true, 5, 5, false},
                                         CHitCase{"BeforeTheFirstPaint", true, false, 29, 15, false}),
                         [](const testing::TestParamInfo<CHitCase>& info) { return std::string(info.param.name); });

// Catches a hand cursor shown while the setting is off, or not shown where it is on and no
// transparent picture limits it.
TEST(PictureStaticTest, HandCursorSetting) {
  CTestControl control;
  EXPECT_EQ(control.OnControlMessage(kWmSetCursor, 0, 0), std::nullopt);
  control.m_settings.handCursor = true;
  control.OnControlMessage(kWmMouseMove, 0, MakePointParam(-3, -3));
  EXPECT_EQ(control.OnControlMessage(kWmSetCursor, 0, 0), 1);
  EXPECT_EQ(control.OnControlMessage(kWmLButtonDown, 0, MakePointParam(-3, -3)), std::nullopt);
}

}  // namespace
