// The splash window: the setup's picture over almost the whole window and a thin progress bar
// along its bottom edge. The only window of the run; the user just watches it.
#pragma once

#include <cstdint>

#include "framework/dialog.h"
#include "ui/picture_static.h"
#include "ui/progress_window.h"

// The splash window's layout, in dialog units: Windows reads the same from its resources.
const CDialogTemplate& SplashDialogTemplate();

class CSplashDlg : public CDialog, public CProgressWindow {
 public:
  CSplashDlg();

  void DoDataExchange(CDataExchange* dx) override;
  bool OnInitDialog() override;
  std::optional<LRESULT_T> OnDialogMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam) override;

  // The range becomes 0 to total bytes; the position is kept.
  void SetProgressTotal(std::int64_t total) override;
  CWnd& Window() override { return *this; }

  // Adds wParam bytes to the bar as it reads back and repaints the bar at once; lParam is not
  // read. Returns 0.
  LRESULT_T OnDownloadProgress(WPARAM_T wParam, LPARAM_T lParam);
  void OnPaint();

  CProgressCtrl m_progress;
  // On the picture's placeholder, which stays hidden: the control keeps its defaults, never
  // paints and never starts a thread, and releases its buffers when the window goes.
  CHotSpotStatic m_picture;
};

// Draws the bitmap resource bitmapId, scaled with an averaging filter, into rect minus a
// margin at the right and the bottom: one pixel of the 96-dpi layout (SplashPictureMargin of the
// screen's resolution on Windows; one unscaled pixel on Linux, where a screen scale multiplies
// the whole window and the picture is scaled to the device's pixels). Windows loads the bitmap
// resource anew for every call; Linux keeps the scaled copy of the compiled-in picture for the
// size last drawn.
void DrawBitmapStretched(CPaintDC& dc, const CRect& rect, unsigned bitmapId);

// The margin left under and beside the picture on a screen of dpi dots per inch: the 96-dpi
// layout's one pixel, scaled and rounded down, so that the picture still reaches the client
// area's right edge, which clips the placeholder by one 96-dpi pixel.
int SplashPictureMargin(int dpi);

// The window text: with no caption bar it shows only where the system lists windows.
inline constexpr wchar_t kSplashWindowText[] = L"Orvel's Projects";
