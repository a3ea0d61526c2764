// The application object: the whole setup run happens inside its InitInstance.
#pragma once

#include <string>

#include "framework/framework.h"
#include "system/clock.h"

// The values worked out at the start of a run.
struct CRunNames {
  std::wstring modulePath;         // long form of the executable's path, or empty
  std::wstring setupName;          // from the executable's file name, or "Local"
  std::wstring setupTempFolder;    // no trailing separator
};

class CSetupApp : public CWinApp {
 public:
  explicit CSetupApp(IClock& clock = RealClock());
  ~CSetupApp() override;

  // Runs the whole setup; always returns false, so the program ends right after it.
  bool InitInstance() override;

  // Steps before retrieval: program folder, current directory, module path, setup name and
  // setup temp folder.
  CRunNames WorkOutRunNames();

  // Starts the final setup from the setup temp folder and waits until it has ended. Shows
  // "Error: Failed to start the final setup." and returns false when no process was started.
  bool RunFinalSetup(const std::wstring& setupTempFolder, const std::wstring& programToRun);

  // Makes the program folder current again (so the setup temp folder is not in use) and
  // removes the setup temp folder; the result of the removal does not matter.
  void CleanUp(const std::wstring& setupTempFolder);

  // The owner of the run's windows and message boxes; null while there is no splash window.
  WindowHandle m_mainWindow = nullptr;

 private:
  void ShowRunMessage(const std::wstring& text);

  IClock& m_clock;
};

// How long one wait for the final setup lasts before the next begins; there is no limit.
inline constexpr unsigned kFinalSetupWaitSliceMs = 5000;
