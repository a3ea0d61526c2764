// DLLs that Windows does not always take from System32 (WinINet, CNG, uxtheme) are loaded by
// name from System32 alone and never imported: a copy planted beside Setup.exe in a downloads
// folder is never loaded. Modules loaded here stay loaded for the rest of the run.
#pragma once

#include <windows.h>

inline HMODULE LoadSystem32Library(const wchar_t* name) {
  return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// An entry point of module as the function type T; null when module is null or lacks it.
template <typename T>
T System32Entry(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through void* because a FARPROC is no particular function type.
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
