// The run sequence of the bootstrapper.
#include "app/setup_app.h"

#include "app/run_names.h"
#include "system/file_ops.h"
#include "system/folders.h"
#include "system/path.h"
#include "system/process.h"
#include "websetup_config.h"

CSetupApp::CSetupApp(IClock& clock) : m_clock(clock) {}

CSetupApp::~CSetupApp() = default;

bool CSetupApp::InitInstance() {
  const CRunNames names = WorkOutRunNames();
  CleanUp(names.setupTempFolder);
  return false;
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
  const std::wstring program = setupTempFolder + kPathSeparatorText + programToRun;
  const ProcessHandle process =
      StartProgram(program, setupTempFolder, m_mainWindow != nullptr ? m_mainWindow->m_nativeHandle : nullptr);
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

void CSetupApp::ShowRunMessage(const std::wstring& text) { ShowMessageBox(m_mainWindow, text, AppName()); }
