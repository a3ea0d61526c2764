// Drives a real splash window from commands on stdin, for the screenshot tests and the
// benchmarks: no message loop runs between commands, exactly as in a run. Each command answers
// with one line on stdout.
//   total N | progress N [LPARAM] | flood COUNT BYTES | box TEXT | expected FILE [WIDTH HEIGHT] |
//   untop | destroy | quit
#include "splash_driver.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "download/downloader.h"
#include "resource.h"
#include "system/text.h"
#include "ui/raster.h"
#include "ui/splash_dlg.h"
#include "ui/splash_picture.h"

namespace {
void PrintRect(const char* name, const CRect& r) {
  std::printf("%s %d %d %d %d\n", name, r.left, r.top, r.right, r.bottom);
}

void PrintBar(const CSplashDlg& splash) {
  const CProgressCtrl& bar = splash.m_progress;
  const CProgressCtrl::CControlState control = NativeBarState(bar);
  std::printf("bar %lld %lld %lld control %d %d %d\n", static_cast<long long>(bar.Model().Lower()),
              static_cast<long long>(bar.Model().Upper()), static_cast<long long>(bar.GetPos()), control.lower,
              control.upper, control.position);
}

// The picture as it should appear: the bitmap scaled with our averaging filter to width x
// height, by default into the placeholder minus one pixel (a scaled screen's test names the
// size it measured on the screen).
bool WriteExpectedPicture(const CSplashDlg& splash, const std::string& path, int width, int height) {
  const CEmbeddedBitmap file = SplashBitmapFile();
  const auto picture = DecodeBmp24(file.data, file.size);
  const CRect r = splash.GetDlgItemClientRect(IDC_PICTURE);
  if (!picture) return false;
  const CPixelBuffer scaled =
      ScaleAveraging(*picture, width > 0 ? width : r.Width() - 1, height > 0 ? height : r.Height() - 1);
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  std::fprintf(out, "P6\n%d %d\n255\n", scaled.width, scaled.height);
  const bool ok = std::fwrite(scaled.rgb.data(), 1, scaled.rgb.size(), out) == scaled.rgb.size();
  return std::fclose(out) == 0 && ok;
}

void Flood(CSplashDlg& splash, long long count, WPARAM_T bytes) {
  const auto start = std::chrono::steady_clock::now();
  for (long long i = 0; i < count; ++i) SendWindowMessage(&splash, WM_DOWNLOAD_PROGRESS, bytes, 0);
  const auto took = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  std::printf("flood %lld messages %.3f us each\n", count, count > 0 ? took / static_cast<double>(count) : 0.0);
}

bool RunCommand(CSplashDlg& splash, const std::string& line) {
  std::istringstream in(line);
  std::string command;
  in >> command;
  if (command == "total") {
    long long total = 0;
    in >> total;
    splash.SetProgressTotal(total);
    PrintBar(splash);
  } else if (command == "progress") {
    unsigned long long bytes = 0;
    long long lParam = 0;
    in >> bytes >> lParam;
    std::printf("result %lld\n",
                static_cast<long long>(SendWindowMessage(&splash, WM_DOWNLOAD_PROGRESS, bytes, lParam)));
    PrintBar(splash);
  } else if (command == "flood") {
    long long count = 0;
    unsigned long long bytes = 0;
    in >> count >> bytes;
    Flood(splash, count, bytes);
  } else if (command == "box") {
    std::string text;
    std::getline(in >> std::ws, text);
    ShowMessageBox(&splash, FromUtf8(text), L"Splash Driver");
    std::printf("closed\n");
  } else if (command == "expected") {
    std::string path;
    int width = 0;
    int height = 0;
    in >> path >> width >> height;
    std::printf("%s\n", WriteExpectedPicture(splash, path, width, height) ? "written" : "failed");
  } else if (command == "untop") {
    splash.SetTopmost(false);
    std::printf("untopped\n");
  } else if (command == "destroy") {
    splash.DestroyWindow();
    std::printf("destroyed %d picture-bound %d\n", splash.IsWindowCreated() ? 0 : 1,
                splash.m_picture.IsBound() ? 1 : 0);
  } else if (command == "quit") {
    return false;
  } else {
    std::printf("unknown %s\n", command.c_str());
  }
  return true;
}
}  // namespace

int main() {
  CSplashDlg splash;
  // As the run shows it: created, made topmost, painted at once.
  if (!splash.Create()) {
    std::printf("no window\n");
    return 2;
  }
  splash.SetTopmost(true);
  splash.RedrawNow();
  PrintRect("client", splash.GetClientScreenRect());
  PrintRect("picture", splash.GetDlgItemClientRect(IDC_PICTURE));
  PrintRect("progress", splash.GetDlgItemClientRect(IDC_PROGRESS));
  std::printf("title %s\n", ToUtf8(splash.GetWindowText()).c_str());
  PrintPlatformFacts(splash);
  PrintBar(splash);
  // The hot-spot control on the hidden placeholder: bound, but never painted, so no thread.
  std::printf("picture-control bound %d painted %d marquee %d\n", splash.m_picture.IsBound() ? 1 : 0,
              splash.m_picture.Composition().Empty() ? 0 : 1, splash.m_picture.MarqueeRunning() ? 1 : 0);
  std::printf("ready\n");
  std::fflush(stdout);
  for (std::string line; std::getline(std::cin, line);) {
    if (!RunCommand(splash, line)) break;
    std::fflush(stdout);
  }
  return 0;
}
