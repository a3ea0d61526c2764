// The run sequence of the bootstrapper.
#include "app/setup_app.h"

#include "app/run_names.h"
#include "download/connection.h"
#include "system/file_name.h"
#include "system/file_ops.h"
#include "system/folders.h"
#include "system/path.h"
#include "system/process.h"
#include "websetup_config.h"

CSetupApp::CSetupApp(CDownloadHosts hosts, IClock& clock, IHttpTransport& transport)
    : CSetupApp(std::move(hosts), CTrustSettings{}, clock, transport) {}

CSetupApp::CSetupApp(CDownloadHosts hosts, CTrustSettings trust, IClock& clock, IHttpTransport& transport)
    : m_downloader(clock, transport),
      m_hosts(std::move(hosts)),
      m_trust(std::move(trust)),
      m_clock(clock),
      m_transport(transport),
      m_isOnline(&IsOnline) {
  m_description.RequireSignature(m_trust.signingPublicKey);
}

CSetupApp::~CSetupApp() = default;

bool CSetupApp::InitInstance() {
  ShowProgressWindow();
  RunSetup(WorkOutRunNames());
  return false;
}

void CSetupApp::ShowProgressWindow() {
  if (m_splash.Create()) {
    // Above every other window, and painted at once: no message loop will ever paint it.
    m_splash.SetTopmost(true);
    m_splash.RedrawNow();
    m_progressWindow = &m_splash;
    return;
  }
  m_fallbackProgress = CreateFallbackProgressWindow(m_clock);
  m_progressWindow = m_fallbackProgress.get();
}

void CSetupApp::RunSetup(const CRunNames& names) {
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
    ShowRunMessage(L"Error: Failed to create User Info File.");
    return;
  }
  RunFinalSetup(names.setupTempFolder, m_description.GetValue(L"Program to run"));
  CleanUp(names.setupTempFolder);
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
  return names;
}

bool CSetupApp::RunFinalSetup(const std::wstring& setupTempFolder, const std::wstring& programToRun) {
  // Only a plain file name inside the setup temp folder is ever started.
  ProcessHandle process = kNoProcess;
  if (IsPlainFileName(programToRun)) {
    const std::wstring program = setupTempFolder + kPathSeparatorText + programToRun;
    CWnd* owner = ProgressWindowHandle();
    process = StartProgram(program, setupTempFolder, owner != nullptr ? owner->m_nativeHandle : nullptr);
  }
  CloseProgressWindow(false);
  if (process == kNoProcess) {
    ShowRunMessage(L"Error: Failed to start the final setup.");
    return false;
  }
  while (WaitForProcess(process, kFinalSetupWaitSliceMs) == WaitResult::Timeout) {
  }
  CloseProcess(process);
  return true;
}

void CSetupApp::CleanUp(const std::wstring& setupTempFolder) {
  SetCurrentFolder(GetProgramFolder());
  DeleteFolder(setupTempFolder, m_clock);
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

void CSetupApp::ShowRunMessage(const std::wstring& text) { ShowMessageBox(ProgressWindowHandle(), text, AppName()); }
