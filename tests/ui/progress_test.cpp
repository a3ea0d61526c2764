// The progress bar's arithmetic and the terminal bar that shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "download/downloader.h"
#include "framework/progress_bar_model.h"
#include "support/test_support.h"
#include "ui/terminal_progress.h"

// Catches a bar that does not start at 1 of 100, resets its position on the range switch,
// reads back a position outside its range, or lets an overshoot wrap or count.
TEST(ProgressBarModelTest, KeepsThePositionInsideTheRange) {
  CProgressBarModel bar;
  EXPECT_EQ(bar.Position(), 1);
  EXPECT_EQ(bar.Upper(), 100);
  bar.SetRange(0, 5000);
  EXPECT_EQ(bar.Position(), 1);
  bar.Advance(0);
  EXPECT_EQ(bar.Position(), 1);
  bar.Advance(1024);
  EXPECT_EQ(bar.Position(), 1025);
  bar.Advance(4000);
  EXPECT_EQ(bar.Position(), 5000);
  bar.Advance(1024);  // lost for display: the bar stays full
  EXPECT_EQ(bar.Position(), 5000);
  EXPECT_DOUBLE_EQ(bar.Fraction(), 1.0);
  bar.SetRange(0, 100);
  EXPECT_EQ(bar.Position(), 100);
  bar.SetRange(0, 0);
  EXPECT_EQ(bar.Position(), 0);
  EXPECT_DOUBLE_EQ(bar.Fraction(), 0.0);
  bar.SetRange(0, INT64_MAX);
  bar.Advance(INT64_MAX);
  bar.Advance(1024);
  EXPECT_EQ(bar.Position(), INT64_MAX);
}

class TerminalProgressTest : public ::testing::Test {
 protected:
  TerminalProgressTest() : m_file(std::tmpfile()) {}
  ~TerminalProgressTest() override { std::fclose(m_file); }
  std::string Output() {
    std::fflush(m_file);
    std::rewind(m_file);
    std::string text;
    for (int c = std::fgetc(m_file); c != EOF; c = std::fgetc(m_file)) text += static_cast<char>(c);
    return text;
  }
  void Send(CTerminalProgress& progress, int messages, WPARAM_T bytes) {
    for (int i = 0; i < messages; ++i) {
      m_clock.m_now += 10;
      SendWindowMessage(&progress, WM_DOWNLOAD_PROGRESS, bytes, 0);
    }
  }

  std::FILE* m_file;
  CFakeClock m_clock;
};

// Catches plain output flooded with a line per chunk, or missing its quarters and the true
// total of a product larger than 4 GB.
TEST_F(TerminalProgressTest, PlainOutputHasALineAtEachQuarter) {
  {
    CTerminalProgress progress(m_file, false, m_clock);
    progress.SetProgressTotal(5LL * 1024 * 1024 * 1024);
    progress.SetProgressTotal(4096);
    Send(progress, 5, 1024);
  }
  EXPECT_EQ(Output(),
            "Downloading 5.0 GB\n"
            "Downloading 4.0 KB\n"
            " 25%  1.0 KB of 4.0 KB  100.0 KB/s\n"
            " 50%  2.0 KB of 4.0 KB  100.0 KB/s\n"
            " 75%  3.0 KB of 4.0 KB  100.0 KB/s\n"
            "100%  4.0 KB of 4.0 KB  100.0 KB/s\n");
}

// Catches a bar that prints new lines instead of redrawing in place, redraws on every chunk,
// or leaves its line open when it is closed.
TEST_F(TerminalProgressTest, TerminalBarRedrawsInPlaceAndEndsItsLine) {
  {
    CTerminalProgress progress(m_file, true, m_clock);
    progress.SetProgressTotal(1000);
    Send(progress, 5, 100);  // 50 ms: no redraw yet
    Send(progress, 5, 100);  // 100 ms since the first draw: one redraw
    EXPECT_TRUE(IsTerminalLineOpen());
  }
  EXPECT_FALSE(IsTerminalLineOpen());
  const std::string out = Output();
  EXPECT_EQ(out.find('\n'), out.size() - 1);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\r'), 3);
  EXPECT_NE(out.find("\r[##############################] 100%  1000 B of 1000 B  9.8 KB/s\x1b[K\n"), std::string::npos);
}
