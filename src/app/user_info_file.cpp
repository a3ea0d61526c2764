// Writing the User Info File for the final setup.
#include "app/user_info_file.h"

#include <new>

#include "app/setup_app.h"
#include "system/file.h"
#include "system/file_name.h"
#include "system/folders.h"
#include "system/path.h"
#include "system/text.h"

namespace {
void AddSection(std::wstring& text, const wchar_t* tag, const std::wstring& value) {
  text += L"[";
  text += tag;
  text += L"]\n";
  text += value;
  text += L"\n\n";
}
}  // namespace

std::optional<std::string> ToNarrowText(std::wstring_view text) {
  try {
    return EncodeNarrowText(text);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::wstring UserInfoText(const std::wstring& initialSetupPathname, const std::wstring& setupTempFolder,
                          const std::wstring& downloadSite, const std::wstring& applicationName,
                          const std::wstring& installTime) {
  std::wstring text = L"// User specific info.\n\n";
  AddSection(text, L"Initial Setup Pathname", initialSetupPathname);
  AddSection(text, L"Setup Temp Folder", setupTempFolder);
  AddSection(text, L"Download Site", downloadSite);
  AddSection(text, L"Start Menu Folder", GetStartMenuFolder());
  AddSection(text, L"Desktop Folder", GetDesktopFolder());
  AddSection(text, L"My Documents Folder", GetMyDocumentsFolder());
  AddSection(text, L"Application Name", applicationName);
  AddSection(text, L"Installed on GM Time", installTime);
  text += L"[End]\nEnd\n";
  return text;
}

bool CSetupApp::WriteUserInfoFile(const std::wstring& folder, const std::wstring& initialSetupPathname,
                                  const std::wstring& setupTempFolder, const std::wstring& downloadSite,
                                  const std::wstring& applicationName, const std::wstring& installTime) {
  const std::wstring text =
      UserInfoText(initialSetupPathname, setupTempFolder, downloadSite, applicationName, installTime);
  const std::wstring name = m_description.GetValue(L"User Info Filename");
  // A name from the description stays inside the setup temp folder and never names a device.
  if (!IsPlainFileName(name)) return false;
  CFile file;
  if (!file.Open(JoinPath(folder, name), CFile::Mode::CreateWrite)) return false;
  const std::optional<std::string> narrow = ToNarrowText(text);
  const bool written = narrow && file.Write(narrow->data(), narrow->size());
  file.Close();
  return written;
}
