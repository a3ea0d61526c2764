// The rule of a private folder, the same on both platforms; each reads its facts its own way.
#include "system/file_ops.h"

bool IsPrivateFolder(const std::wstring& path) {
  const CFolderControl control = ReadFolderControl(path);
  return control.isFolder && control.ownerTrusted && !control.othersMayWrite;
}
