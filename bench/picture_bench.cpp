// The picture control's costs at 550 x 300, figures only: the splash picture unpacked (once
// per start, before the splash shows), one marquee repaint (the background buffer copied, three
// text lines drawn) and one background rebuild (the splash picture scaled, grid and frame), each
// without the screen; then, on a display, one repaint put on the screen and the marquee's CPU
// use while it runs for a few seconds with the window's loop.
//
//     bench/picture_bench [--runs 200] [--seconds 5]      (xvfb-run -a for the window parts)
#include <glib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "resource.h"
#include "ui/picture_static.h"
#include "ui/splash_picture.h"

namespace {
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 550, kHeight = 300;
constexpr unsigned kDialogId = 1;
constexpr int kControlId = 100;

void Settings(CPictureSettings& s) {
  s.picture.resourceId = IDB_SPLASH;
  s.scaleWholePicture = true;
  s.gridRows = 4;
  s.gridColumns = 6;
  s.lines = {CPictureTextLine{std::wstring(12, L'M') + L" a marquee line far wider than the control it is shown in",
                              160, false, 0, CRgb{120, 0, 120}},
             CPictureTextLine{L"The second line", 140, false, 6 | 0x10, CRgb{0, 0, 160}},
             CPictureTextLine{L"The third line", 140, false, 2 | 8, CRgb{0, 120, 0}}};
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <class Work>
void Time(const char* what, int runs, Work work) {
  std::vector<double> us;
  for (int i = 0; i < runs; ++i) {
    const auto began = Clock::now();
    work();
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - began).count());
  }
  std::printf("%-44s median %8.1f us   min %8.1f us   (%d runs)\n", what, Median(us),
              *std::min_element(us.begin(), us.end()), runs);
}

// Counts the paints that reach the screen.
class CBenchControl : public CHotSpotStatic {
 public:
  std::optional<LRESULT_T> OnControlMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) override {
    if (message == kWmPaint) ++paints;
    return CHotSpotStatic::OnControlMessage(message, wParam, lParam);
  }
  int paints = 0;
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

gboolean Quit(gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
  return G_SOURCE_REMOVE;
}

class CBenchDialog : public CDialog {
 public:
  explicit CBenchDialog(const CDialogTemplate& layout) : CDialog(kDialogId, layout, nullptr) {}
  void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, kControlId, m_control); }
  CBenchControl m_control;
};
}  // namespace

int main(int argc, char** argv) {
  int runs = 200;
  int seconds = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::max(1, std::atoi(argv[i + 1]));
  }
  {
    const CEmbeddedBitmap packed = EmbeddedSplashPicture();
    std::size_t unpacked = 0;
    Time("splash picture unpacked (inflate, checksum)", std::max(1, runs / 10),
         [&] { unpacked = UnpackPicture(packed.data, packed.size).size(); });
    std::printf("  %zu packed bytes to %zu\n", packed.size, unpacked);
  }
  {
    CBenchControl control;
    Settings(control.m_settings);
    control.PaintBuffers(kWidth, kHeight);  // the first paint loads the picture and the fonts
    Time("marquee repaint, buffers only (copy + texts)", runs, [&] { control.PaintBuffers(kWidth, kHeight); });
    Time("background rebuild + texts", std::max(1, runs / 10), [&] {
      control.InvalidateBackground();
      control.PaintBuffers(kWidth, kHeight);
    });
  }

  // A window with the control alone, as large as the splash picture in pixels.
  CBaseUnits base{};
  {
    // Dialog units are known only once the window exists; a first window measures them.
    const CDialogTemplate probe{100, 100, L"MS Sans Serif", 8, {}};
    CDialog measure(kDialogId, probe, nullptr);
    if (!measure.Create()) {
      std::printf("no display: the window figures are left out (run under xvfb-run -a)\n");
      return 0;
    }
    const CRect client = measure.GetClientScreenRect();
    base = {client.Width() / 25, client.Height() * 8 / 100};
  }
  const int wUnits = (kWidth * 4 + base.cx - 1) / base.cx;
  const int hUnits = (kHeight * 8 + base.cy - 1) / base.cy;
  const CDialogTemplate layout{wUnits,
                               hUnits,
                               L"MS Sans Serif",
                               8,
                               {{kControlId, CControlTemplate::Kind::BlackRectangle, {0, 0, wUnits, hUnits}, true}}};
  CBenchDialog dialog(layout);
  dialog.Create();
  Settings(dialog.m_control.m_settings);
  dialog.RedrawNow();
  const CRect size = dialog.m_control.GetClientRect();
  std::printf("window control %d x %d\n", size.Width(), size.Height());
  Time("marquee repaint on the screen (paint + blit)", runs, [&] {
    dialog.m_control.Invalidate();
    dialog.m_control.UpdateWindow();
  });

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  const int before = dialog.m_control.paints;
  const double cpuBefore = CpuSeconds();
  const auto began = Clock::now();
  g_timeout_add_seconds(static_cast<guint>(seconds), Quit, loop);
  g_main_loop_run(loop);
  const double wall = std::chrono::duration<double>(Clock::now() - began).count();
  const double cpu = CpuSeconds() - cpuBefore;
  g_main_loop_unref(loop);
  const int paints = dialog.m_control.paints - before;
  std::printf("marquee running %.1f s: CPU %.1f %% of one core (both threads), %d repaints (%.1f per second)\n", wall,
              100.0 * cpu / wall, paints, paints / wall);
  dialog.DestroyWindow();
  return 0;
}
