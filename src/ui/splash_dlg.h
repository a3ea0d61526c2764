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

// Draws the bitmap resource bitmapId, scaled with an averaging filter, into rect minus one
// pixel at the right and the bottom. Windows loads the bitmap resource anew for every call;
// Linux keeps the scaled copy of the compiled-in picture for the size last drawn.
void DrawBitmapStretched(CPaintDC& dc, const CRect& rect, unsigned bitmapId);

// The window text: with no caption bar it shows only where the system lists windows.
inline constexpr wchar_t kSplashWindowText[] = L"Orvel's Projects";
