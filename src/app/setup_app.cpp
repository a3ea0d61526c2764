// The run sequence of the bootstrapper.
#include "app/setup_app.h"

#include "app/run_names.h"
#include "download/connection.h"
#include "system/file_name.h"
#include "system/file_ops.h"
#include "system/folders.h"
#include "system/path.h"
#include "system/process.h"
#include "system/text.h"
#include "websetup_config.h"

CSetupApp::CSetupApp(CDownloadHosts hosts, IClock& clock, IHttpTransport& transport)
    : CSetupApp(std::move(hosts), CTrustSettings{}, clock, transport) {}

CSetupApp::CSetupApp(CDownloadHosts hosts, CTrustSettings trust, IClock& clock, IHttpTransport& transport)
    : m_log(clock),
      m_loggedTransport(transport, m_log, clock),
      m_downloader(clock, m_loggedTransport, &m_log),
      m_hosts(std::move(hosts)),
      m_trust(std::move(trust)),
      m_clock(clock),
      m_transport(m_loggedTransport),
      m_isOnline(&IsOnline) {
  m_description.RequireSignature(m_trust.signingPublicKey);
}

CSetupApp::~CSetupApp() {
  if (m_log.IsOpen()) SetMessageBoxObserver(nullptr);
}

bool CSetupApp::InitInstance() {
  OpenSupportLog();
  ShowProgressWindow();
  RunSetup(WorkOutRunNames());
  return false;
}

// Opened before anything else (a relative path is taken against the folder Setup was started
// in), so that every step after it is in the log.
void CSetupApp::OpenSupportLog() {
  const std::wstring path = SupportLogPath(GetCommandLineArguments(), GetEnvironmentValue(L"WEBSETUP_LOG"));
  if (!path.empty()) OpenSupportLogAt(path);
}

bool CSetupApp::OpenSupportLogAt(const std::wstring& path) {
  if (!m_log.Open(path)) return false;
  m_log.Write(L"Setup started: " + GetModulePath());
  m_log.Write(L"proxy: " + m_transport.ProxyText());
  SetMessageBoxObserver([this](const std::wstring& text) { m_log.Write(L"message box: " + text); });
  return true;
}

void CSetupApp::ShowProgressWindow() {
  if (m_splash.Create()) {
    // Above every other window, and painted at once: no message loop will ever paint it.
    m_splash.SetTopmost(true);
    m_splash.RedrawNow();
    m_progressWindow = &m_splash;
    m_log.Write(L"progress: the splash window");
    return;
  }
  m_fallbackProgress = CreateFallbackProgressWindow(m_clock);
  m_progressWindow = m_fallbackProgress.get();
  m_log.Write(m_progressWindow != nullptr ? L"progress: no splash window, the terminal shows it"
                                          : L"progress: no splash window and no terminal, none shown");
}

void CSetupApp::RunSetup(const CRunNames& names) {
  // Two runs of one product share one setup temp folder, and each would delete what the other
  // is about to start: the second leaves the folder alone.
  if (!TakeRunLock(names)) {
    CloseProgressWindow(true);
    return;
  }
  std::wstring downloadSite;
  if (!RetrieveInitialSetup(names.setupName, names.setupTempFolder, m_progressWindow, downloadSite)) {
    CloseProgressWindow(true);
    CleanUp(names.setupTempFolder);
    return;
  }
  const std::wstring installTime = FormatInstallTime(m_clock.UtcSeconds());
  if (!WriteUserInfoFile(names.setupTempFolder, names.modulePath, names.setupTempFolder, downloadSite, names.setupName,
                         installTime)) {
    // The folder stays as it is, for whoever looks into what went wrong.
    ShowRunMessage(L"Error: Failed to create User Info File.",
                   L"the User Info File named by \"User Info Filename\" cannot be written in " + names.setupTempFolder);
    return;
  }
  m_log.Write(L"User Info File written; install time " + installTime);
  RunFinalSetup(names.setupTempFolder, m_description.GetValue(L"Program to run"));
  CleanUp(names.setupTempFolder);
}

bool CSetupApp::TakeRunLock(const CRunNames& names) {
  std::wstring projects, folderName;
  SplitPath(StripTrailingSeparator(names.setupTempFolder), projects, folderName);
  projects = StripTrailingSeparator(projects);
  // Made here when missing, as retrieval would make it; a folder the run may not use gives no
  // lock, and retrieval then refuses it with its own message.
  CreateFolderChain(projects);
  switch (m_runLock.Take(projects, folderName)) {
    case CRunLock::Result::Taken:
      m_log.Write(L"run lock taken: no other run of " + names.setupName + L" is going on");
      return true;
    case CRunLock::Result::HeldElsewhere:
      ShowRunMessage(L"Setup is already running.",
                     L"another run of " + names.setupName + L" holds its setup temp folder; this one leaves it alone");
      return false;
    case CRunLock::Result::Unavailable:
      break;
  }
  m_log.Write(L"no run lock could be had in " + projects + L"; the run goes on without one");
  return true;
}

CRunNames CSetupApp::WorkOutRunNames() {
  SetProgramFolder(GetModulePath());
  SetCurrentFolder(GetProgramFolder());
  CRunNames names;
  // An executable whose long form cannot be worked out has no module path at all.
  names.modulePath = GetLongPathForm(GetModulePath());
  std::wstring folder, fileName;
  SplitPath(names.modulePath, folder, fileName);
  names.setupName = SetupNameFromFileName(fileName);
  names.setupTempFolder = SetupTempFolderFor(GetTempFolder(), names.setupName);
  m_log.Write(L"module path " + names.modulePath + L"; program folder " + GetProgramFolder() + L"; setup name " +
              names.setupName + L"; setup temp folder " + names.setupTempFolder);
  return names;
}

bool CSetupApp::RunFinalSetup(const std::wstring& setupTempFolder, const std::wstring& programToRun) {
  // Only a plain file name inside the setup temp folder is ever started.
  ProcessHandle process = kNoProcess;
  const bool plain = IsPlainFileName(programToRun);
  const std::wstring program = setupTempFolder + kPathSeparatorText + programToRun;
  if (plain) {
    CWnd* owner = ProgressWindowHandle();
    process = StartProgram(program, setupTempFolder, owner != nullptr ? owner->m_nativeHandle : nullptr);
  }
  CloseProgressWindow(false);
  if (process == kNoProcess) {
    ShowRunMessage(L"Error: Failed to start the final setup.",
                   plain ? program + L" cannot be started (missing, or not a program)"
                         : L"\"Program to run\" is \"" + programToRun + L"\", not a plain file name");
    return false;
  }
  m_log.Write(L"final setup started: " + program);
  int exitCode = -1;
  while (WaitForProcess(process, kFinalSetupWaitSliceMs, &exitCode) == WaitResult::Timeout) {
  }
  CloseProcess(process);
  m_log.Write(L"final setup ended with exit code " + DecimalText(exitCode));
  return true;
}

void CSetupApp::CleanUp(const std::wstring& setupTempFolder) {
  SetCurrentFolder(GetProgramFolder());
  const bool removed = DeleteFolder(setupTempFolder, m_clock);
  m_log.Write(removed ? L"setup temp folder removed"
                      : L"setup temp folder not removed (something in it is in use or "
                        L"a subfolder is left)");
}

void CSetupApp::SetOnlineCheckForTesting(std::function<bool()> isOnline) {
  m_isOnline = isOnline;
  m_downloader.SetOnlineCheckForTesting(std::move(isOnline));
}

void CSetupApp::CloseProgressWindow(bool leaveTopmostBand) {
  if (leaveTopmostBand) m_splash.SetTopmost(false);
  m_splash.DestroyWindow();
  m_fallbackProgress.reset();
  m_progressWindow = nullptr;
}

CWnd* CSetupApp::ProgressWindowHandle() const {
  return m_progressWindow != nullptr ? &m_progressWindow->Window() : nullptr;
}

void CSetupApp::ShowRunMessage(const std::wstring& text, const std::wstring& reason) {
  if (!reason.empty()) m_log.Write(L"failed: " + reason);
  ShowMessageBox(ProgressWindowHandle(), text, AppName());
}
