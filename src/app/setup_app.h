// The application object: the whole setup run happens inside its InitInstance.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/run_options.h"
#include "description/file_hashes.h"
#include "description/setup_description.h"
#include "download/downloader.h"
#include "download/http_transport.h"
#include "download/logging_transport.h"
#include "framework/framework.h"
#include "system/clock.h"
#include "system/run_lock.h"
#include "system/support_log.h"
#include "ui/progress_window.h"
#include "ui/splash_dlg.h"

// The values worked out at the start of a run.
struct CRunNames {
  std::wstring modulePath;       // long form of the executable's path, or empty
  std::wstring setupName;        // from the executable's file name, or "Local"
  std::wstring setupTempFolder;  // no trailing separator
};

// The two hosts that serve "SetupInitial.eif", tried in this order; "name" or "name:port".
struct CDownloadHosts {
  std::wstring primary;
  std::wstring secondary;
};

// The checks a Setup program's build asked for; the defaults are the plain run: descriptions
// and listed files over http://, no description signature wanted.
struct CTrustSettings {
  std::wstring scheme = L"http://";  // "http://" or "https://"
  // The vendor's Ed25519 public key (32 bytes); empty when descriptions need no signature.
  std::string signingPublicKey;
  // The lowest "Serial" a signed description may carry (one without the tag counts as 0).
  std::uint64_t minDescriptionSerial = 0;
};

class CSetupApp : public CWinApp {
 public:
  explicit CSetupApp(CDownloadHosts hosts, IClock& clock = RealClock(),
                     IHttpTransport& transport = PlatformHttpTransport());
  CSetupApp(CDownloadHosts hosts, CTrustSettings trust, IClock& clock = RealClock(),
            IHttpTransport& transport = PlatformHttpTransport());
  ~CSetupApp() override;

  // Runs the whole setup as the command line asks; always returns false, so the program ends
  // right after it.
  bool InitInstance() override;
  // The exit status: 0 in the interactive mode; in an unattended one, the final setup's code,
  // or kExitAlreadyRunning, or kExitSetupFailed.
  int ExitInstance() override;

  // The mode of the run and its log, before InitInstance reads them from the command line (tests).
  void SetOptions(CRunOptions options);
  // The whole run after the command line is read: help, or log, progress window and RunSetup.
  void Run();

  // The run after its names are known: retrieval, User Info File, launch, wait, clean-up; or,
  // while another run of the same product holds its folder, "Setup is already running." and
  // nothing else.
  void RunSetup(const CRunNames& names);

  // Steps before retrieval: program folder, current directory, module path, setup name and
  // setup temp folder.
  CRunNames WorkOutRunNames();

  // Gets the setup description and every file it lists into the setup temp folder, with
  // progress on progressWindow. Shows the message of the step that fails and returns false.
  // downloadSite receives the site chosen for the listed files (unchanged when none are listed).
  bool RetrieveInitialSetup(const std::wstring& setupName, const std::wstring& setupTempFolder,
                            CProgressWindow* progressWindow, std::wstring& downloadSite);
  // The first "Download Sites" entry that declares more than 1000 bytes for the first listed
  // file; empty when none does.
  std::wstring FindDownloadSite();

  // Writes the hand-over file for the final setup into folder; false when it was not written.
  bool WriteUserInfoFile(const std::wstring& folder, const std::wstring& initialSetupPathname,
                         const std::wstring& setupTempFolder, const std::wstring& downloadSite,
                         const std::wstring& applicationName, const std::wstring& installTime);

  // Starts the final setup from the setup temp folder, closes the progress window and waits
  // until the final setup has ended. Shows "Error: Failed to start the final setup." and
  // returns false when no process was started.
  bool RunFinalSetup(const std::wstring& setupTempFolder, const std::wstring& programToRun);

  // Makes the program folder current again (so the setup temp folder is not in use) and
  // removes the setup temp folder; the result of the removal does not matter.
  void CleanUp(const std::wstring& setupTempFolder);

  // Opens the support log at path; every later step of the run, message boxes included,
  // writes its line there. False when it cannot be opened: the run goes on without it.
  bool OpenSupportLogAt(const std::wstring& path);

  // Replaces the connection check (of the run and of its downloads), so tests decide whether
  // the machine is online.
  void SetOnlineCheckForTesting(std::function<bool()> isOnline);

  // The support log, off unless asked for, and the transport every request of the run goes
  // through, which writes to it; first, so that they outlive everything that writes to them.
  CSupportLog m_log;
  CLoggingTransport m_loggedTransport;
  // Members in this order: the window, the description, the download object.
  CSplashDlg m_splash;
  CSetupDescription m_description;
  CDownloader m_downloader;
  // Where the splash window cannot be made: the terminal's progress bar, or nothing.
  std::unique_ptr<CProgressWindow> m_fallbackProgress;
  // Whichever of the two shows the run's progress; null once it is closed.
  CProgressWindow* m_progressWindow = nullptr;
  // Held from before the setup temp folder is touched until the process ends.
  CRunLock m_runLock;

 private:
  bool RetrieveDescription(const std::wstring& setupName, const std::wstring& setupTempFolder);
  bool DownloadInitialFile(const std::wstring& setupName, const std::wstring& setupTempFolder);
  bool DownloadListedFiles(const std::wstring& setupTempFolder, CProgressWindow* progressWindow,
                           std::wstring& downloadSite);
  bool DownloadListedFile(const std::wstring& url, const std::wstring& setupTempFolder, const std::wstring& local,
                          const std::optional<CFileHashes>& hashes, WindowHandle window, std::wstring& failure);
  // Loads the description at path (which names it for the log) and, in a signed Setup, holds it
  // to the description rules for setupName. False with the reason in failure.
  bool LoadDescription(const std::wstring& path, const std::wstring& which, const std::wstring& setupName,
                       std::wstring& failure);
  void CopyProgramFolderTo(const std::wstring& setupTempFolder);
  // False when another run of the same product holds the lock (its message is shown then).
  bool TakeRunLock(const CRunNames& names);
  void ShowProgressWindow();
  // Closes the progress window; a splash window first leaves the topmost band when asked.
  void CloseProgressWindow(bool leaveTopmostBand);
  CWnd* ProgressWindowHandle() const;
  // Shows the run's message for a step that failed; the support log gets why first.
  void ShowRunMessage(const std::wstring& text, const std::wstring& reason = {});
  // Opens the support log when the command line or WEBSETUP_LOG asks for one, or the run is
  // unattended.
  void OpenSupportLog();
  // The log an unattended run keeps when none was asked for: beside its setup temp folder, in
  // the private projects folder (made here); empty when that folder cannot be had.
  std::wstring UnattendedLogPath();
  // The final setup's command line after its name.
  std::wstring FinalSetupArguments() const;

  CDownloadHosts m_hosts;
  CTrustSettings m_trust;
  IClock& m_clock;
  IHttpTransport& m_transport;
  std::function<bool()> m_isOnline;
  CRunOptions m_options;
  bool m_optionsSet = false;
  // Until the final setup has ended, the run has failed.
  int m_exitCode = kExitSetupFailed;
};

// How long one wait for the final setup lasts before the next begins; there is no limit.
inline constexpr unsigned kFinalSetupWaitSliceMs = 5000;
