// Names that a setup description gives to files (see file_name.h); temporary until the
// shared rule lands.
#include "system/file_name.h"

bool IsPlainFileName(std::wstring_view name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (wchar_t c : name) {
    if (c < 0x20 || std::wstring_view(L"/\\:*?\"<>|").find(c) != std::wstring_view::npos) return false;
  }
  return true;
}
