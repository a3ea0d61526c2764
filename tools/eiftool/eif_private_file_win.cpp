// A new key file on Windows: CREATE_NEW never replaces an existing file. The file inherits
// the folder's access list, which in the user's profile already admits only the user, the
// administrators and the system.
#include <windows.h>

#include "eif_private_file.h"
#include "system/text.h"

bool WriteNewKeyFile(const std::wstring& path, std::string_view bytes, KeyFileReaders /*readers*/, std::string& error) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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
