// Well-known folders on Linux: the XDG base and user directories in place of the shell's
// special folders, /opt for Program Files.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "system/file_ops.h"
#include "system/folders.h"
#include "system/path.h"
#include "system/text.h"

namespace {
std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string Home() {
  std::string home = Env("HOME");
  if (home.empty()) {
    if (const passwd* pw = ::getpwuid(::geteuid())) home = pw->pw_dir != nullptr ? pw->pw_dir : "";
  }
  return home;
}

std::wstring Folder(const std::string& path) {
  if (path.empty() || path[0] != '/') return {};  // only absolute paths are folders
  return StripTrailingSeparator(FromUtf8(path));
}

// The value of XDG_<key>_DIR in user-dirs.dirs ("$HOME/Desktop" or an absolute path).
std::string UserDir(const std::string& key) {
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty()) config = Home() + "/.config";
  std::ifstream in(config + "/user-dirs.dirs");
  const std::string prefix = "XDG_" + key + "_DIR=\"";
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(prefix, 0) != 0 || line.size() < prefix.size() + 1 || line.back() != '"') continue;
    std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
    if (value.rfind("$HOME", 0) == 0) value = Home() + value.substr(5);
    return value;
  }
  return {};
}

std::wstring UserFolder(const std::string& key, const char* fallback) {
  std::string dir = UserDir(key);
  if (dir.empty()) dir = Home().empty() ? "" : Home() + "/" + fallback;
  return Folder(dir);
}
}  // namespace

std::wstring GetProgramFilesFolder() { return L"/opt"; }

// A relative value names no folder (the setup temp folder would land at the root), so it
// counts as unset.
std::wstring GetTempFolder() {
  for (const char* name : {"TMPDIR", "XDG_RUNTIME_DIR"}) {
    if (Env(name).starts_with('/')) return Folder(Env(name));
  }
  return L"/tmp";
}

std::wstring GetDesktopFolder() { return UserFolder("DESKTOP", "Desktop"); }
std::wstring GetMyDocumentsFolder() { return UserFolder("DOCUMENTS", "Documents"); }

std::wstring GetStartMenuFolder() {
  std::string data = Env("XDG_DATA_HOME");
  if (data.empty()) data = Home().empty() ? "" : Home() + "/.local/share";
  const std::wstring folder = Folder(data.empty() ? "" : data + "/applications");
  if (!folder.empty() && !CreateFolderChain(folder)) return {};
  return folder;
}
