// Linux side of the framework: messages are delivered by a direct call; a message box is a GTK
// box on a display, and without one a line "caption: text" on stderr.
#include <cstdio>

#include "framework/framework_platform.h"
#include "system/text.h"

LRESULT_T SendWindowMessage(WindowHandle window, unsigned message, WPARAM_T wParam, LPARAM_T lParam) {
  if (window == nullptr) return 0;
  return window->OnMessage(message, wParam, lParam);
}

void ShowPlatformMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption) {
  if (!ShowGtkMessageBox(owner, text, caption)) WriteMessageWithoutBox(text, caption);
}

void WriteMessageWithoutBox(const std::wstring& text, const std::wstring& caption) {
  std::string line = ToUtf8(caption) + ": " + ToUtf8(text) + "\n";
  if (IsTerminalLineOpen()) {
    line.insert(0, "\n");
    SetOpenTerminalLine(false);
  }
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

void ShowPlatformUsage(const std::wstring& text, const std::wstring&) {
  std::fputs(ToUtf8(text).c_str(), stdout);
  std::fflush(stdout);
}
