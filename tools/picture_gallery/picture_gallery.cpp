// The picture gallery (see gallery.h): a cropped and a fitted picture, a transparent hot-spot
// logo with the hand cursor, a grid, the default frame, three shadowed lines, a marquee and a
// blinking line, over the splash picture stretched across the window.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/dialog.h"
#include "gallery.h"
#include "gallery_resource.h"
#include "resource.h"
#include "ui/picture_static.h"
#include "ui/splash_dlg.h"

namespace {
constexpr char kUsage[] =
    "usage: picture_gallery [--seconds N] [--stdin] [--trace]\n"
    "Shows the picture controls on one window. A press on the logo closes it.\n"
    "  --seconds N  close after N seconds\n"
    "  --stdin      close on a line \"quit\" or at the end of standard input\n"
    "  --trace      print the window's layout, each cursor decision and press of the logo\n";

bool g_trace = false;

template <class... Values>
void Trace(const char* format, Values... values) {
  if (!g_trace) return;
  std::printf(format, values...);
  std::fflush(stdout);
}

constexpr unsigned kBlinkIntervalMs = 500;
constexpr int kTextSize = 160;  // 16-pixel lines at any height
constexpr CRgb kRed{200, 0, 0}, kBlue{0, 0, 160}, kGreen{0, 120, 0}, kPurple{120, 0, 120};

// A 64 x 64 logo: a navy disc with an orange centre on magenta, the colour that turns
// transparent.
CPixelBuffer LogoPixels() {
  CPixelBuffer logo(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const int d2 = (2 * x - 63) * (2 * x - 63) + (2 * y - 63) * (2 * y - 63);  // 4 x distance²
      logo.Set(x, y,
               d2 <= 4 * 14 * 14   ? CRgb{240, 140, 20}
               : d2 <= 4 * 30 * 30 ? CRgb{20, 40, 120}
                                   : CRgb{255, 0, 255});
    }
  }
  return logo;
}

// A pale vertical gradient, light blue to white.
CPixelBuffer GradientPixels() {
  CPixelBuffer gradient(128, 128);
  for (int y = 0; y < 128; ++y) {
    const auto v = static_cast<std::uint8_t>(180 + y * 75 / 127);
    FillRect(gradient, {0, y, 128, y + 1}, {v, v, 255});
  }
  return gradient;
}

// The logo reports its cursor decisions and presses.
class CGalleryLogo : public CHotSpotStatic {
 public:
  std::optional<LRESULT_T> OnControlMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) override {
    const std::optional<LRESULT_T> result = CHotSpotStatic::OnControlMessage(message, wParam, lParam);
    if (message == kWmSetCursor) Trace("cursor %d %s\n", IDC_LOGO, result ? "hand" : "normal");
    if (message == kWmLButtonDown) Trace("press %d %s\n", IDC_LOGO, result ? "swallowed" : "default");
    return result;
  }
};

const CDialogTemplate& GalleryTemplate() {
  using Kind = CControlTemplate::Kind;
  const auto tile = [](int id, int left, int top, bool notify = false) {
    return CControlTemplate{id, Kind::BlackRectangle, {left, top, left + 76, top + 80}, true, notify};
  };
  static const CDialogTemplate layout{
      334,
      178,
      L"MS Sans Serif",
      8,
      {tile(IDC_CROPPED, 6, 6), tile(IDC_FITTED, 88, 6), tile(IDC_LOGO, 170, 6, true), tile(IDC_GRID, 252, 6),
       tile(IDC_FRAME, 6, 92), tile(IDC_TEXTS, 88, 92), tile(IDC_MARQUEE, 170, 92), tile(IDC_BLINK, 252, 92)}};
  return layout;
}

class CGalleryDlg : public CDialog {
 public:
  CGalleryDlg() : CDialog(IDD_GALLERY, GalleryTemplate(), nullptr) {
    m_cropped.m_settings.picture.resourceId = IDB_SPLASH;

    m_fitted.m_settings.picture.resourceId = IDB_SPLASH;
    m_fitted.m_settings.scaleWholePicture = true;
    m_fitted.m_settings.keepAspect = true;

    CPictureSettings& logo = m_logo.m_settings;
    logo.picture.handle = CreatePictureHandle(LogoPixels());
    logo.transparentPicture = true;
    logo.parentBackgroundId = IDB_SPLASH;
    logo.scaleWholePicture = true;
    logo.keepAspect = true;
    logo.drawFrame = false;
    logo.handCursor = true;

    m_grid.m_settings.picture.handle = CreatePictureHandle(GradientPixels());
    m_grid.m_settings.gridRows = 3;
    m_grid.m_settings.gridColumns = 4;

    m_texts.m_settings.picture.handle = CreatePictureHandle(GradientPixels());
    m_texts.m_settings.lines = {
        CPictureTextLine{L"Top left", kTextSize, false, 0, kRed},
        CPictureTextLine{L"Centre", kTextSize, false, kAlignCentre | kAlignCentreVertically, kBlue},
        CPictureTextLine{L"Bottom right", kTextSize, false, kAlignRight | kAlignBottom, kGreen}};

    m_marquee.m_settings.lines[0] = {L"Orvel's Projects: a line too wide for its control scrolls as a marquee",
                                     kTextSize, false, kAlignCentreVertically, kPurple};

    m_blink.m_settings.picture.handle = CreatePictureHandle(GradientPixels());
    m_blink.m_settings.lines[0] = {L"Blinking", kTextSize, true, kAlignCentre | kAlignCentreVertically, kRed};
  }

  void DoDataExchange(CDataExchange* dx) override {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_CROPPED, m_cropped);
    DDX_Control(dx, IDC_FITTED, m_fitted);
    DDX_Control(dx, IDC_LOGO, m_logo);
    DDX_Control(dx, IDC_GRID, m_grid);
    DDX_Control(dx, IDC_FRAME, m_frame);
    DDX_Control(dx, IDC_TEXTS, m_texts);
    DDX_Control(dx, IDC_MARQUEE, m_marquee);
    DDX_Control(dx, IDC_BLINK, m_blink);
  }

  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    SetWindowText(L"Picture gallery");
    m_blink.SetTimer(kBlinkTimerId, kBlinkIntervalMs);
    return true;
  }

  std::optional<LRESULT_T> OnDialogMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) override {
    if (message == kWmPaint) {
      // The window shows the splash picture across its whole client area; the logo takes its
      // background from the same picture.
      CPaintDC dc(*this);
      const CRect client = GetClientScreenRect();
      DrawBitmapStretched(dc, {0, 0, client.Width() + 1, client.Height() + 1}, IDB_SPLASH);
      return 0;
    }
    if (message == kWmCommand && (wParam & 0xFFFF) == IDC_LOGO && ((wParam >> 16) & 0xFFFF) == kStnClicked) {
      Trace("clicked %d\n", IDC_LOGO);
      QuitGalleryLoop();
      return 0;
    }
    return CDialog::OnDialogMessage(message, wParam, lParam);
  }

  void TraceLayout() {
    const CRect client = GetClientScreenRect();
    Trace("client %d %d %d %d\n", client.left, client.top, client.right, client.bottom);
    for (const CControlTemplate& control : Layout().controls) {
      const CRect r = GetDlgItemClientRect(control.id);
      Trace("control %d %d %d %d %d\n", control.id, r.left, r.top, r.right, r.bottom);
    }
    Trace("ready\n");
  }

  bool MarqueeRunning() const { return m_marquee.MarqueeRunning(); }

 private:
  CHotSpotStatic m_cropped, m_fitted;
  CGalleryLogo m_logo;
  CHotSpotStatic m_grid, m_frame, m_texts, m_marquee, m_blink;
};
}  // namespace

int main(int argc, char** argv) {
  int seconds = 0;
  bool watchInput = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--stdin") == 0) {
      watchInput = true;
    } else if (std::strcmp(argv[i], "--trace") == 0) {
      g_trace = true;
    } else {
      std::fputs(kUsage, std::strcmp(argv[i], "--help") == 0 ? stdout : stderr);
      return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
    }
  }
  CGalleryDlg gallery;
  if (!gallery.Create()) {
    std::fputs("picture_gallery: no window could be made (is there a display?)\n", stderr);
    return 1;
  }
  gallery.RedrawNow();
  gallery.TraceLayout();
  RunGalleryLoop(seconds, watchInput);
  gallery.DestroyWindow();
  Trace("destroyed marquee-running %d\n", gallery.MarqueeRunning() ? 1 : 0);
  return 0;
}
