// Windows side of the framework: SendMessageW to windows with a platform window, MessageBoxW.
#include <windows.h>

#include "framework/framework_platform.h"

LRESULT_T SendWindowMessage(WindowHandle window, unsigned message, WPARAM_T wParam, LPARAM_T lParam) {
  if (window == nullptr) return 0;
  if (window->m_nativeHandle != nullptr) {
    // Same thread as the window: SendMessageW calls its window procedure directly.
    return SendMessageW(static_cast<HWND>(window->m_nativeHandle), message, wParam, lParam);
  }
  return window->OnMessage(message, wParam, lParam);
}

void ShowPlatformMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption) {
  HWND ownerWindow = owner != nullptr ? static_cast<HWND>(owner->m_nativeHandle) : nullptr;
  MessageBoxW(ownerWindow, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void WriteMessageWithoutBox(const std::wstring&, const std::wstring&) {}

void ShowPlatformUsage(const std::wstring& text, const std::wstring& caption) {
  MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}
