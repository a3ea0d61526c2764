// Our small stand-in for the Windows application framework: the application object, windows
// that receive synchronous messages, and message boxes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

using WPARAM_T = std::uintptr_t;
using LPARAM_T = std::intptr_t;
using LRESULT_T = std::intptr_t;

// Private window messages start here, as on Windows.
inline constexpr unsigned kWmUser = 0x0400;

// A window that handles messages sent to it. Windows that have a platform window behind them
// set m_nativeHandle; messages still reach OnMessage synchronously, on the sender's thread.
class CWnd {
 public:
  virtual ~CWnd() = default;
  // Called for every message sent to this window; private messages return 0.
  virtual LRESULT_T OnMessage(unsigned message, WPARAM_T wParam, LPARAM_T lParam);

  void* m_nativeHandle = nullptr;
};

// A window handle that may be null: null means "no window", and nothing is sent to it.
using WindowHandle = CWnd*;

// Sends a message synchronously and returns the handler's result; 0 for a null window.
LRESULT_T SendWindowMessage(WindowHandle window, unsigned message, WPARAM_T wParam, LPARAM_T lParam);

// A modal message box with the exclamation icon and one OK button.
void ShowMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption);

// Unattended runs show no box at all: with boxes off, a message box's text goes to the observer
// and, on Linux, to stderr as the terminal's box would write it, and nothing waits for anyone.
void SetMessageBoxesShown(bool shown);

// The usage of a program: on Windows a message box with the information icon, on Linux stdout
// (tests: the message box recorder).
void ShowUsage(const std::wstring& text, const std::wstring& caption);

// Output that keeps a terminal line open (a progress bar redrawn in place) says so here, so
// that a message box written to the same terminal starts on a line of its own.
void SetOpenTerminalLine(bool open);
bool IsTerminalLineOpen();

// Told the text of every message box just before it is shown (the support log); nullptr for
// nobody.
using MessageBoxObserver = std::function<void(const std::wstring& text)>;
void SetMessageBoxObserver(MessageBoxObserver observer);

// Tests see every message box through this hook instead of a real box; pass nullptr to
// restore real boxes.
using MessageBoxRecorder = std::function<void(const std::wstring& text, const std::wstring& caption)>;
void SetMessageBoxRecorderForTesting(MessageBoxRecorder recorder);

// The application object: exactly one exists, created before the entry point.
class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // The whole program runs inside this hook; FALSE (false) ends the program right after it.
  virtual bool InitInstance() { return false; }
  virtual int ExitInstance() { return 0; }

  // The executable's base file name without folder and extension; the caption of the run's
  // message boxes.
  const std::wstring& AppName() const { return m_appName; }
  void SetAppName(std::wstring name) { m_appName = std::move(name); }

 private:
  std::wstring m_appName;
};

// The one application object, or null before it is constructed.
CWinApp* AfxGetApp();

// Runs the application object as the entry point does: application name from the executable
// path, InitInstance, ExitInstance. Returns the process exit status: ExitInstance's answer.
int RunApplication(const std::wstring& executablePath);

// The application name for an executable path: base name without folder and extension.
std::wstring AppNameFromPath(const std::wstring& executablePath);
