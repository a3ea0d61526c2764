// Processes and module path on Windows: ShellExecuteExW, WaitForSingleObject, GetModuleFileNameW.
#include <windows.h>
#include <shellapi.h>

#include "system/process.h"

#include "system/command_line.h"

ProcessHandle StartProgram(const std::wstring& program, const std::wstring& workingFolder, void* ownerWindow,
                           const std::wstring& arguments) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_UNICODE | SEE_MASK_NO_CONSOLE;  // 0xC440
  info.hwnd = static_cast<HWND>(ownerWindow);
  info.lpVerb = L"open";
  info.lpFile = program.c_str();
  info.lpParameters = arguments.c_str();
  info.lpDirectory = workingFolder.c_str();
  info.nShow = SW_SHOW;
  // Success is judged by the process handle alone, not by the call's result.
  ShellExecuteExW(&info);
  return reinterpret_cast<ProcessHandle>(info.hProcess);
}

WaitResult WaitForProcess(ProcessHandle process, std::uint32_t milliseconds, int* exitCode) {
  const DWORD result = WaitForSingleObject(reinterpret_cast<HANDLE>(process), milliseconds);
  if (result == WAIT_TIMEOUT) return WaitResult::Timeout;
  DWORD code = 0;
  if (exitCode != nullptr) {
    *exitCode = GetExitCodeProcess(reinterpret_cast<HANDLE>(process), &code) ? static_cast<int>(code) : -1;
  }
  return WaitResult::Ended;
}

std::vector<std::wstring> GetCommandLineArguments() {
  std::vector<std::wstring> arguments;
  int count = 0;
  wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (list == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.emplace_back(list[i]);
  LocalFree(list);
  return arguments;
}

std::wstring GetArgumentsAfterDoubleDash() { return CommandLineAfterDoubleDash(GetCommandLineW()); }

std::wstring GetEnvironmentValue(const std::wstring& name) {
  const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name.c_str(), value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

void CloseProcess(ProcessHandle process) {
  if (process != kNoProcess) CloseHandle(reinterpret_cast<HANDLE>(process));
}

std::wstring GetModulePath() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return std::wstring(buffer, length < MAX_PATH ? length : MAX_PATH);
}

std::wstring GetLongPathForm(const std::wstring& path) {
  constexpr DWORD kLongPathUnits = 1024;
  wchar_t buffer[kLongPathUnits] = {};
  const DWORD length = GetLongPathNameW(path.c_str(), buffer, kLongPathUnits);
  if (length == 0 || length >= kLongPathUnits) return {};
  return buffer;
}

bool SetCurrentFolder(const std::wstring& folder) { return SetCurrentDirectoryW(folder.c_str()) != 0; }

std::wstring GetCurrentFolder() {
  wchar_t buffer[1024] = {};
  const DWORD length = GetCurrentDirectoryW(1024, buffer);
  return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}
