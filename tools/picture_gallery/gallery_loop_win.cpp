// The gallery's message loop on Windows. Standard input is read by a thread of its own, which
// ends the loop by a message to the window's thread.
#include <windows.h>

#include <string>
#include <thread>

#include "gallery.h"

namespace {
void CALLBACK QuitOnTimer(HWND, UINT, UINT_PTR, DWORD) { QuitGalleryLoop(); }

void WatchInput(DWORD loopThread) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  std::string text;
  char chunk[256];
  DWORD got = 0;
  while (ReadFile(input, chunk, sizeof chunk, &got, nullptr) != FALSE && got > 0) {
    text.append(chunk, got);
    for (std::size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1)) {
      if (text.compare(0, end, "quit") == 0 || text.compare(0, end, "quit\r") == 0) {
        PostThreadMessageW(loopThread, WM_QUIT, 0, 0);
        return;
      }
    }
  }
  PostThreadMessageW(loopThread, WM_QUIT, 0, 0);
}
}  // namespace

void RunGalleryLoop(int seconds, bool watchInput) {
  if (seconds > 0) SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, QuitOnTimer);
  // The reader may still wait for input when the loop ends by a press; the process ends it.
  if (watchInput) std::thread(WatchInput, GetCurrentThreadId()).detach();
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void QuitGalleryLoop() { PostQuitMessage(0); }
