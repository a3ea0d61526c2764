// A new key file on Windows: CREATE_NEW never replaces an existing file. A private one gets the
// access list Setup's private folders get (the user, SYSTEM and Administrators, nothing
// inherited); a public one inherits its folder's.
#include <windows.h>

#include <random>

#include "eif_private_file.h"
#include "system/folders.h"
#include "system/private_folder_win.h"
#include "system/text.h"

bool WriteNewKeyFile(const std::wstring& path, std::string_view bytes, KeyFileReaders readers, std::string& error) {
  CPrivateFolderSecurity security;
  SECURITY_ATTRIBUTES* attributes = readers == KeyFileReaders::OwnerOnly ? security.Attributes() : nullptr;
  if (readers == KeyFileReaders::OwnerOnly && attributes == nullptr) {
    error = ToUtf8(path) + ": no access list that keeps it private could be made";
    return false;
  }
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = ToUtf8(path) + (GetLastError() == ERROR_FILE_EXISTS ? " exists already; eiftool never replaces a key file"
                                                                : ": cannot be created");
    return false;
  }
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  const bool closed = CloseHandle(file) != 0;
  if (ok && closed) return true;
  DeleteFileW(path.c_str());
  error = "cannot write " + ToUtf8(path);
  return false;
}

std::wstring CreateScratchFolder(const std::wstring& prefix) {
  CPrivateFolderSecurity security;
  if (security.Attributes() == nullptr) return {};
  std::random_device random;  // the system's generator (rand_s)
  for (int attempt = 0; attempt < 100; ++attempt) {
    wchar_t suffix[17];
    swprintf(suffix, 17, L"%08x%08x", random(), random());
    const std::wstring folder = GetTempFolder() + L"\\" + prefix + suffix;
    // CreateDirectoryW fails on a name that exists: a folder planted there is never used.
    if (CreateDirectoryW(folder.c_str(), security.Attributes())) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}
