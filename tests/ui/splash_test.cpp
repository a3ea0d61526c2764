// The splash window's rules that need no screen: dialog units at 96 dpi and scaled, the picture's
// margin, the progress arithmetic of its message handler, and totals beyond the control's 32
// bits.
#include <gtest/gtest.h>

#include <cstdint>

#include "download/downloader.h"
#include "resource.h"
#include "ui/splash_dlg.h"

// Catches a conversion that truncates instead of rounding, rounds the far edges instead of
// the sizes, or swaps the two base units.
TEST(DialogUnitsTest, TheSplashLayoutInPixelsForMsSansSerif8) {
  const CBaseUnits base{6, 13};
  const CDialogTemplate& layout = SplashDialogTemplate();
  EXPECT_EQ(DialogUnitsToPixels({0, 0, layout.width, layout.height}, base), (CRect{0, 0, 465, 270}));
  EXPECT_EQ(DialogUnitsToPixels(layout.controls.at(0).units, base), (CRect{0, 0, 467, 247}));
  EXPECT_EQ(DialogUnitsToPixels(layout.controls.at(1).units, base), (CRect{3, 250, 462, 266}));
  EXPECT_EQ(layout.controls.at(0).id, IDC_PICTURE);
  EXPECT_FALSE(layout.controls.at(0).visible);
  EXPECT_EQ(MulDivRound(-5, 1, 2), -3);  // half away from zero, as MulDiv
  EXPECT_EQ(MulDivRound(5, 1, -2), -3);
  EXPECT_EQ(MulDivRound(1, 1, 0), -1);
  // The 52 letters' width: 286 to 337 pixels average 6, 338 to 389 average 7.
  EXPECT_EQ(BaseUnitsOfLetters(337, 13).cx, 6);
  EXPECT_EQ(BaseUnitsOfLetters(338, 13).cx, 7);
  EXPECT_EQ(BaseUnitsOfLetters(338, 13).cy, 13);
}

struct CScaledLayoutCase {
  int dpi;
  CBaseUnits base96;
  CRect client, picture, progress;
};

class ScaledLayoutTest : public ::testing::TestWithParam<CScaledLayoutCase> {};

// Catches a layout that scales sizes instead of edges (the bar's right edge drifts off its
// 96-dpi place), measures the font at the screen's resolution (the proportions drift), rounds
// down or truncates, or moves anything at 96 dpi.
TEST_P(ScaledLayoutTest, TheSplashIsThe96DpiLayoutScaled) {
  const CScaledLayoutCase& c = GetParam();
  const CDialogTemplate& layout = SplashDialogTemplate();
  EXPECT_EQ(DialogUnitsToPixelsAt({0, 0, layout.width, layout.height}, c.base96, c.dpi), c.client);
  EXPECT_EQ(DialogUnitsToPixelsAt(layout.controls.at(0).units, c.base96, c.dpi), c.picture);
  EXPECT_EQ(DialogUnitsToPixelsAt(layout.controls.at(1).units, c.base96, c.dpi), c.progress);
}

INSTANTIATE_TEST_SUITE_P(
    Resolutions, ScaledLayoutTest,
    ::testing::Values(CScaledLayoutCase{96, {6, 13}, {0, 0, 465, 270}, {0, 0, 467, 247}, {3, 250, 462, 266}},
                      CScaledLayoutCase{120, {6, 13}, {0, 0, 581, 338}, {0, 0, 584, 309}, {4, 313, 578, 333}},
                      CScaledLayoutCase{144, {6, 13}, {0, 0, 698, 405}, {0, 0, 701, 371}, {5, 375, 693, 399}},
                      // The font wine gives "MS Sans Serif" 8 at 96 dpi measures 7 x 13.
                      CScaledLayoutCase{144, {7, 13}, {0, 0, 815, 405}, {0, 0, 816, 371}, {6, 375, 810, 399}},
                      CScaledLayoutCase{192, {7, 13}, {0, 0, 1086, 540}, {0, 0, 1088, 494}, {8, 500, 1080, 532}},
                      CScaledLayoutCase{288, {6, 13}, {0, 0, 1395, 810}, {0, 0, 1401, 741}, {9, 750, 1386, 798}}));

// Catches a margin rounded up at 144 dpi (a column of the dialog's background at the window's
// right edge, since the placeholder is only one scaled pixel wider than the client area), one
// that is not scaled at 192 dpi, and one that vanishes below 96 dpi.
TEST(SplashPictureTest, TheMarginIsOne96DpiPixelRoundedDown) {
  const struct {
    int dpi, margin;
  } cases[] = {{72, 1}, {96, 1}, {120, 1}, {144, 1}, {191, 1}, {192, 2}, {240, 2}, {288, 3}};
  const CDialogTemplate& layout = SplashDialogTemplate();
  for (const auto& c : cases) {
    EXPECT_EQ(SplashPictureMargin(c.dpi), c.margin) << c.dpi;
    for (const CBaseUnits base : {CBaseUnits{6, 13}, CBaseUnits{7, 13}}) {
      const CRect client = DialogUnitsToPixelsAt({0, 0, layout.width, layout.height}, base, c.dpi);
      const CRect picture = DialogUnitsToPixelsAt(layout.controls.at(0).units, base, c.dpi);
      EXPECT_GE(picture.right - SplashPictureMargin(c.dpi), client.right) << c.dpi << " dpi, " << base.cx;
    }
  }
}

// Catches a handler that computes from lParam, answers non-zero, lets the position pass the
// total, or loses the sliver the bar starts with.
TEST(SplashProgressTest, MessagesAddToThePositionAsReadBack) {
  CSplashDlg splash;
  EXPECT_EQ(splash.m_progress.GetPos(), 1);
  EXPECT_EQ(splash.m_progress.Model().Upper(), 100);
  splash.SetProgressTotal(5000);
  EXPECT_EQ(splash.m_progress.GetPos(), 1);
  EXPECT_EQ(SendWindowMessage(&splash, WM_DOWNLOAD_PROGRESS, 1024, 999999), 0);
  EXPECT_EQ(splash.m_progress.GetPos(), 1025);
  SendWindowMessage(&splash, WM_DOWNLOAD_PROGRESS, 0, 0);
  EXPECT_EQ(splash.m_progress.GetPos(), 1025);
  SendWindowMessage(&splash, WM_DOWNLOAD_PROGRESS, 4000, 0);
  SendWindowMessage(&splash, WM_DOWNLOAD_PROGRESS, 1024, 0);
  EXPECT_EQ(splash.m_progress.GetPos(), 5000);
  SendWindowMessage(&splash, WM_DOWNLOAD_PROGRESS, UINTPTR_MAX, 0);
  EXPECT_EQ(splash.m_progress.GetPos(), 5000);
  EXPECT_EQ(SendWindowMessage(&splash, kWmUser + 7, 1, 1), 0);  // private messages answer 0
}

struct CTotalCase {
  std::int64_t total;
  std::int32_t controlUpper;  // the range the 32-bit control gets
  std::int32_t controlHalf;   // its position once half the bytes have arrived
};

class LargeTotalTest : public ::testing::TestWithParam<CTotalCase> {};

// Catches a total that wraps in the 32-bit control (a bar that runs backwards or stays empty
// past 2 GiB), a scale that changes the fraction shown, an overshoot short of full, or a scale
// that outlives its range.
TEST_P(LargeTotalTest, TheControlShowsTheSameFraction) {
  const CTotalCase& c = GetParam();
  CSplashDlg splash;
  splash.SetProgressTotal(c.total);
  EXPECT_EQ(splash.m_progress.ControlState().upper, c.controlUpper);
  splash.m_progress.SetPos(0);
  splash.m_progress.OffsetPos(static_cast<std::uint64_t>(c.total / 2));
  EXPECT_EQ(splash.m_progress.ControlState().position, c.controlHalf);
  EXPECT_EQ(splash.m_progress.GetPos(), c.total / 2);
  splash.m_progress.OffsetPos(static_cast<std::uint64_t>(c.total));
  EXPECT_EQ(splash.m_progress.ControlState().position, c.controlUpper);
  EXPECT_EQ(splash.m_progress.GetPos(), c.total);
  // A 16-bit range afterwards is the control's own again: no scale left over.
  splash.m_progress.SetRange(0, 100);
  splash.m_progress.SetPos(50);
  EXPECT_EQ(splash.m_progress.ControlState().upper, 100);
  EXPECT_EQ(splash.m_progress.ControlState().position, 50);
}

INSTANTIATE_TEST_SUITE_P(Totals, LargeTotalTest,
                         ::testing::Values(CTotalCase{1024, 1024, 512},
                                           CTotalCase{3'000'000'000, 1'500'000'000, 750'000'000},
                                           CTotalCase{20'000'000'000, 2'000'000'000, 1'000'000'000},
                                           CTotalCase{INT64_MAX, 2'147'483'646, 1'073'741'823}));
