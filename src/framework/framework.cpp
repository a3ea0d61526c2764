// Platform-independent parts of the framework stand-in: the application object and message
// routing for windows without a platform window.
#include "framework/framework.h"

#include "framework/framework_platform.h"

namespace {
CWinApp* g_app = nullptr;
}  // namespace

LRESULT_T CWnd::OnMessage(unsigned, WPARAM_T, LPARAM_T) { return 0; }

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

std::wstring AppNameFromPath(const std::wstring& executablePath) {
  const auto slash = executablePath.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? executablePath : executablePath.substr(slash + 1);
  const auto dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return name;
}

int RunApplication(const std::wstring& executablePath) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return 0;
  app->SetAppName(AppNameFromPath(executablePath));
  // No message loop follows, whatever InitInstance answers: the run happens entirely inside it.
  app->InitInstance();
  return app->ExitInstance();
}

namespace {
bool g_terminalLineOpen = false;
bool g_messageBoxesShown = true;

MessageBoxRecorder& Recorder() {
  static MessageBoxRecorder recorder;
  return recorder;
}

MessageBoxObserver& Observer() {
  static MessageBoxObserver observer;
  return observer;
}
}  // namespace

void SetMessageBoxesShown(bool shown) { g_messageBoxesShown = shown; }

void ShowUsage(const std::wstring& text, const std::wstring& caption) {
  if (Recorder()) {
    Recorder()(text, caption);
    return;
  }
  ShowPlatformUsage(text, caption);
}

void SetOpenTerminalLine(bool open) { g_terminalLineOpen = open; }
bool IsTerminalLineOpen() { return g_terminalLineOpen; }

void SetMessageBoxRecorderForTesting(MessageBoxRecorder recorder) { Recorder() = std::move(recorder); }

void SetMessageBoxObserver(MessageBoxObserver observer) { Observer() = std::move(observer); }

void ShowMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption) {
  if (Observer()) Observer()(text);
  if (!g_messageBoxesShown) {
    WriteMessageWithoutBox(text, caption);
    return;
  }
  if (Recorder()) {
    Recorder()(text, caption);
    return;
  }
  ShowPlatformMessageBox(owner, text, caption);
}
