// The splash window (see splash_dlg.h).
#include "ui/splash_dlg.h"

#include "download/downloader.h"
#include "resource.h"

const CDialogTemplate& SplashDialogTemplate() {
  using Kind = CControlTemplate::Kind;
  // The placeholder is one unit wider than the client area, so its right edge is clipped; it
  // is never shown and only marks where the picture goes.
  static const CDialogTemplate layout{310,
                                      166,
                                      L"MS Sans Serif",
                                      8,
                                      {{IDC_PICTURE, Kind::BlackRectangle, {0, 0, 311, 152}, false},
                                       {IDC_PROGRESS, Kind::ProgressBar, {2, 154, 2 + 306, 154 + 10}, true}}};
  return layout;
}

CSplashDlg::CSplashDlg() : CDialog(IDD_SPLASH, SplashDialogTemplate(), nullptr) {}

void CSplashDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_PROGRESS, m_progress);
  DDX_Control(dx, IDC_PICTURE, m_picture);
}

bool CSplashDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  BringWindowToForeground(*this);
  SetWindowText(kSplashWindowText);
  m_progress.SetRange(0, 100);
  m_progress.SetPos(1);
  return true;
}

std::optional<LRESULT_T> CSplashDlg::OnDialogMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) {
  switch (message) {
    case kWmPaint:
      OnPaint();
      return 0;
    case WM_DOWNLOAD_PROGRESS:
      return OnDownloadProgress(wParam, lParam);
    default:
      return CDialog::OnDialogMessage(message, wParam, lParam);
  }
}

void CSplashDlg::SetProgressTotal(std::int64_t total) { m_progress.SetRange64(0, total); }

LRESULT_T CSplashDlg::OnDownloadProgress(WPARAM_T wParam, LPARAM_T) {
  m_progress.OffsetPos(wParam);
  m_progress.RedrawNow();
  return 0;
}

void CSplashDlg::OnPaint() {
  CPaintDC dc(*this);
  DrawBitmapStretched(dc, GetDlgItemClientRect(IDC_PICTURE), IDB_SPLASH);
}

int SplashPictureMargin(int dpi) { return dpi > kLayoutDpi ? dpi / kLayoutDpi : 1; }
