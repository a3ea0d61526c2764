// The run sequence of the bootstrapper.
#include "app/setup_app.h"

#include "app/run_names.h"
#include "description/description_rules.h"
#include "download/connection.h"
#include "system/file_name.h"
#include "system/file_ops.h"
#include "system/folders.h"
#include "system/path.h"
#include "system/process.h"
#include "system/text.h"
#include "system/texts.h"
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

namespace {
std::wstring SetupNameOf(const std::wstring& modulePath) {
  std::wstring folder, fileName;
  SplitPath(modulePath, folder, fileName);
  return SetupNameFromFileName(fileName);
}
}  // namespace

CSetupApp::~CSetupApp() {
  if (m_log.IsOpen()) SetMessageBoxObserver(nullptr);
  SetMessageBoxesShown(true);
}

bool CSetupApp::InitInstance() {
  SetOptions(ParseRunOptions(GetCommandLineArguments(), GetEnvironmentValue(L"WEBSETUP_LOG")));
  Run();
  return false;
}

int CSetupApp::ExitInstance() {
  const int code = m_options.Unattended() ? m_exitCode : 0;
  m_log.Write(L"Setup ends with exit status " + DecimalText(code));
  return code;
}

void CSetupApp::SetOptions(CRunOptions options) {
  m_options = std::move(options);
  SetMessageBoxesShown(!m_options.Unattended());
}

void CSetupApp::Run() {
  if (m_options.help) {
    ShowUsage(UsageText(AppName()), AppName());
    m_exitCode = 0;
    return;
  }
  OpenSupportLog();
  if (m_options.mode == RunMode::Quiet) {
    m_log.Write(L"progress: none shown (quiet run)");
  } else {
    ShowProgressWindow();
  }
  RunSetup(WorkOutRunNames());
}

// Opened before anything else (a relative path is taken against the folder Setup was started
// in), so that every step after it is in the log.
void CSetupApp::OpenSupportLog() {
  std::wstring path = m_options.logPath;
  if (path.empty() && m_options.Unattended()) path = UnattendedLogPath();
  if (!path.empty()) OpenSupportLogAt(path);
}

std::wstring CSetupApp::UnattendedLogPath() {
  const std::wstring setupTempFolder =
      SetupTempFolderFor(GetTempFolder(), SetupNameOf(GetLongPathForm(GetModulePath())));
  std::wstring projects, folderName;
  SplitPath(setupTempFolder, projects, folderName);
  projects = StripTrailingSeparator(projects);
  // Kept after the run, so outside the setup temp folder; and only in a folder nobody else may
  // write, where nobody can have put a link to another file in the log's place.
  if (!CreateFolderChain(projects) || !IsPrivateFolder(projects)) return {};
  return setupTempFolder + L".log";
}

bool CSetupApp::OpenSupportLogAt(const std::wstring& path) {
  if (!m_log.Open(path)) return false;
  m_log.Write(L"Setup started: " + GetModulePath());
  m_log.Write(L"proxy: " + m_transport.ProxyText());
  // The message lines below are in this language; the reasons beside them stay in English.
  m_log.Write(L"texts in: " + FromUtf8(TextLanguage()));
  // Nothing the observer holds may need freeing: the application object outlives the observer's
  // own storage, and its destructor still resets the observer.
  const wchar_t* prefix = m_options.Unattended() ? L"message (no box in an unattended run): " : L"message box: ";
  SetMessageBoxObserver([this, prefix](const std::wstring& text) { m_log.Write(prefix + text); });
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
    ShowRunMessage(Text(IDS_USER_INFO_FILE_FAILED),
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
      m_exitCode = kExitAlreadyRunning;
      ShowRunMessage(Text(IDS_ALREADY_RUNNING),
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
  names.setupName = SetupNameOf(names.modulePath);
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
  const std::wstring arguments = FinalSetupArguments();
  if (plain) {
    CWnd* owner = ProgressWindowHandle();
    process = StartProgram(program, setupTempFolder, owner != nullptr ? owner->m_nativeHandle : nullptr, arguments);
  }
  CloseProgressWindow(false);
  if (process == kNoProcess) {
    ShowRunMessage(Text(IDS_START_FAILED),
                   plain ? program + L" cannot be started (missing, or not a program)"
                         : L"\"Program to run\" is \"" + programToRun + L"\", not a plain file name");
    return false;
  }
  m_log.Write(L"final setup started: " + program + (arguments.empty() ? L"" : L" with arguments " + arguments));
  int exitCode = -1;
  while (WaitForProcess(process, kFinalSetupWaitSliceMs, &exitCode) == WaitResult::Timeout) {
  }
  CloseProcess(process);
  m_log.Write(L"final setup ended with exit code " + DecimalText(exitCode));
  m_exitCode = exitCode;
  return true;
}

std::wstring CSetupApp::FinalSetupArguments() const {
  return ::FinalSetupArguments(m_options, OptionalTagValue(m_description, kUnattendedArgumentsTag).value_or(L""),
                               GetArgumentsAfterDoubleDash());
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
