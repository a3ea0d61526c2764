// Windows entry point. Before anything else, DLL loading is limited to System32, so that no
// DLL planted beside Setup.exe (usually in the user's Downloads folder) can ever be loaded.
#include <windows.h>

#include "framework/framework.h"
#include "system/process.h"

namespace {
void LimitDllSearchToSystem32() {
  // Looked up at run time: a Windows 7 without its loader update lacks the call, and a static
  // import would keep the program from starting there.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto setDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDirectories != nullptr) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");  // also drops the current directory from the search on older systems
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  LimitDllSearchToSystem32();
  return RunApplication(GetModulePath());
}
