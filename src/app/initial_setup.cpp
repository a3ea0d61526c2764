// Retrieval of the initial setup: the description from beside Setup or from a download host,
// the choice of a download site, and the download of every listed file.
#include <string>

#include "app/run_names.h"
#include "app/setup_app.h"
#include "description/description_signature.h"
#include "description/file_hashes.h"
#include "download/connection.h"
#include "system/file_name.h"
#include "system/file_ops.h"
#include "system/path.h"
#include "system/program_folder.h"

namespace {
const wchar_t kDefaultPathPrefix[] = L"/downloads/Setups/";
const wchar_t kLocalModeValue[] = L"No";
}  // namespace

bool CSetupApp::RetrieveInitialSetup(const std::wstring& setupName, const std::wstring& setupTempFolder,
                                     CProgressWindow* progressWindow, std::wstring& downloadSite) {
  if (!RetrieveDescription(setupName, setupTempFolder)) return false;
  if (!m_description.Load(JoinPath(setupTempFolder, kInitialSetupFileName))) {
    ShowRunMessage(L"Error opening the initial setup eif.");
    return false;
  }
  // From here on the run reads the copy in the setup temp folder.
  return DownloadListedFiles(setupTempFolder, progressWindow, downloadSite);
}

// A description beside Setup decides the mode; then the setup temp folder is made anew and
// filled with the program folder's files or with a fresh description from a host.
bool CSetupApp::RetrieveDescription(const std::wstring& setupName, const std::wstring& setupTempFolder) {
  bool localMode = false;
  if (FileExists(kInitialSetupFileName)) {
    if (!m_description.Load(kInitialSetupFileName)) {
      ShowRunMessage(L"Error opening the local initial setup eif.");
      return false;
    }
    localMode = m_description.GetValue(L"Download Initial Setup") == kLocalModeValue;
  }
  // Whatever an earlier run left behind goes first.
  DeleteFolder(setupTempFolder, m_clock);
  if (!CreateSetupTempFolder(setupTempFolder)) {
    ShowRunMessage(L"Error: Failed to create the Windows temp subfolder.");
    return false;
  }
  if (localMode) {
    CopyProgramFolderTo(setupTempFolder);
    return true;
  }
  return DownloadInitialFile(setupName, setupTempFolder);
}

// Every file beside Setup (Setup itself and the local description included), no subfolder;
// a file that cannot be copied is left out.
void CSetupApp::CopyProgramFolderTo(const std::wstring& setupTempFolder) {
  const std::wstring programFolder = GetProgramFolder();
  for (const CFolderEntry& entry : ListFolder(programFolder)) {
    if (!entry.isDirectory) CopyFileToFolder(programFolder + entry.name, setupTempFolder);
  }
}

bool CSetupApp::DownloadInitialFile(const std::wstring& setupName, const std::wstring& setupTempFolder) {
  if (!m_isOnline()) {
    ShowRunMessage(L"Error: No Internet connection.");
    return false;
  }
  // A description beside Setup names the folder on the hosts that holds its newer version.
  const std::wstring path =
      m_description.IsLoaded() ? m_description.GetValue(L"Download Path") : kDefaultPathPrefix + setupName;
  const auto urlOn = [&](const std::wstring& host) {
    return m_trust.scheme + host + path + L"/" + kInitialSetupFileName;
  };
  std::wstring host = m_hosts.primary;
  if (ProbeUrlLength(urlOn(host), m_transport) < kMinimumDeclaredLength) {
    host = m_hosts.secondary;
    if (ProbeUrlLength(urlOn(host), m_transport) < kMinimumDeclaredLength) host.clear();
  }
  if (host.empty()) {
    ShowRunMessage(L"Error: Download site not found.");
    return false;
  }
  if (!m_downloader.DownloadFile(urlOn(host), JoinPath(setupTempFolder, kInitialSetupFileName), nullptr)) {
    ShowRunMessage(L"Error: Failed to download.");
    return false;
  }
  // A signed description's signature lies beside it on the same host. Whether it arrived is
  // not judged here: a missing one makes the description fail to load, as a bad one does.
  if (!m_trust.signingPublicKey.empty()) {
    m_downloader.DownloadFile(urlOn(host) + kSignatureSuffix,
                              JoinPath(setupTempFolder, kInitialSetupFileName) + kSignatureSuffix, nullptr);
  }
  return true;
}

// A size pass over the list (for the progress total), then the downloads themselves.
bool CSetupApp::DownloadListedFiles(const std::wstring& setupTempFolder, CProgressWindow* progressWindow,
                                    std::wstring& downloadSite) {
  std::wstring remote, local;
  // 64-bit: the sizes of a large product must not wrap around to a negative total.
  std::int64_t total = 0;
  if (m_description.GetFirstFile(remote, local)) {
    if (!m_isOnline()) {
      ShowRunMessage(L"Error: No Internet connection.");
      return false;
    }
    downloadSite = FindDownloadSite();
    if (downloadSite.empty()) {
      ShowRunMessage(L"Error: Download site not found.");
      return false;
    }
    for (bool more = m_description.GetFirstFile(remote, local); more; more = m_description.GetNextFile(remote, local)) {
      total += ProbeUrlLength(m_trust.scheme + downloadSite + remote, m_transport);
    }
  }
  if (progressWindow != nullptr) progressWindow->SetProgressTotal(total);
  // A description with "File Hashes" vouches for every listed file, whichever way it arrives.
  const std::optional<CFileHashes> hashes = CFileHashes::From(m_description);
  WindowHandle window = progressWindow != nullptr ? &progressWindow->Window() : nullptr;
  for (bool more = m_description.GetFirstFile(remote, local); more; more = m_description.GetNextFile(remote, local)) {
    if (!DownloadListedFile(m_trust.scheme + downloadSite + remote, setupTempFolder, local, hashes, window)) {
      ShowRunMessage(L"Error: Failed to download " + local);
      return false;
    }
  }
  return true;
}

// One listed file into the setup temp folder; false when the run cannot go on with it.
bool CSetupApp::DownloadListedFile(const std::wstring& url, const std::wstring& setupTempFolder,
                                   const std::wstring& local, const std::optional<CFileHashes>& hashes,
                                   WindowHandle window) {
  // A local name is a name inside the setup temp folder, never a path out of it or a device:
  // such an entry fails as its download would.
  if (!IsPlainFileName(local)) return false;
  const std::wstring destination = JoinPath(setupTempFolder, local);
  const std::optional<CSha256Digest> expected = hashes ? hashes->For(local) : std::nullopt;
  // A file the hashes do not cover is refused unseen, as is whatever copy of it lies there.
  if (hashes && !expected) {
    DeleteFileInFolder(setupTempFolder, local);
    return false;
  }
  if (m_downloader.DownloadFile(url, destination, window, expected)) return true;
  // A failed transfer over an earlier copy of the file keeps that copy, which will do, unless
  // the description's hash says it is not the file listed.
  if (!FileExists(destination)) return false;
  if (expected && Sha256OfFile(destination) != expected) {
    DeleteFileInFolder(setupTempFolder, local);
    return false;
  }
  return true;
}

std::wstring CSetupApp::FindDownloadSite() {
  std::wstring remote0, local0, site;
  m_description.GetFirstFile(remote0, local0);
  for (bool more = m_description.GetFirstSite(site); more; more = m_description.GetNextSite(site)) {
    if (ProbeUrlLength(m_trust.scheme + site + remote0, m_transport) > kMinimumDeclaredLength) return site;
  }
  return {};
}
