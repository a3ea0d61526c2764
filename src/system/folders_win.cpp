// Well-known folders on Windows: registry, GetTempPathW and the shell's special folders.
#include <windows.h>
#include <shlobj.h>

#include "system/folders.h"
#include "system/path.h"

namespace {
constexpr DWORD kPathUnits = MAX_PATH;  // 260 UTF-16 units, the classic path buffer

std::wstring SpecialFolder(int csidl, bool create) {
  wchar_t buffer[kPathUnits] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, create ? TRUE : FALSE)) return {};
  return StripTrailingSeparator(buffer);
}
}  // namespace

std::wstring GetProgramFilesFolder() {
  std::wstring result;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE, &key) ==
      ERROR_SUCCESS) {
    wchar_t buffer[kPathUnits + 1] = {};  // one unit more keeps a full 520-byte value terminated
    DWORD bytes = kPathUnits * sizeof(wchar_t);
    if (RegQueryValueExW(key, L"ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) ==
        ERROR_SUCCESS) {
      result = buffer;
    }
    RegCloseKey(key);
  }
  return StripTrailingSeparator(result);
}

std::wstring GetTempFolder() {
  wchar_t buffer[kPathUnits] = {};
  // Where the system has it, GetTempPath2W gives SYSTEM a temporary folder of its own instead of
  // the machine's, where every local user may create folders; for everybody else it answers as
  // GetTempPathW does. Looked up at run time: older systems lack it.
  using GetTempPath2Fn = DWORD(WINAPI*)(DWORD, LPWSTR);
  const auto getTempPath2 = reinterpret_cast<GetTempPath2Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W")));
  const DWORD length = getTempPath2 != nullptr ? getTempPath2(kPathUnits, buffer) : GetTempPathW(kPathUnits, buffer);
  if (length == 0 || length >= kPathUnits) return {};
  return StripTrailingSeparator(buffer);
}

std::wstring GetDesktopFolder() { return SpecialFolder(CSIDL_DESKTOPDIRECTORY, false); }
std::wstring GetMyDocumentsFolder() { return SpecialFolder(CSIDL_PERSONAL, false); }
std::wstring GetStartMenuFolder() { return SpecialFolder(CSIDL_PROGRAMS, true); }
