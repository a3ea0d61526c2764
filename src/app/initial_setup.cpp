// Retrieval of the initial setup: the description from beside Setup or from a download host,
// the choice of a download site, and the download of every listed file.
#include <string>

#include "app/run_names.h"
#include "app/setup_app.h"
#include "description/description_rules.h"
#include "description/description_signature.h"
#include "description/file_hashes.h"
#include "download/connection.h"
#include "download/download_choice.h"
#include "system/file_name.h"
#include "system/file_ops.h"
#include "system/path.h"
#include "system/program_folder.h"
#include "system/support_log.h"
#include "system/text.h"
#include "system/texts.h"

namespace {
const wchar_t kDefaultPathPrefix[] = L"/downloads/Setups/";
const wchar_t kLocalModeValue[] = L"No";
}  // namespace

bool CSetupApp::RetrieveInitialSetup(const std::wstring& setupName, const std::wstring& setupTempFolder,
                                     CProgressWindow* progressWindow, std::wstring& downloadSite) {
  if (!RetrieveDescription(setupName, setupTempFolder)) return false;
  std::wstring failure;
  if (!LoadDescription(JoinPath(setupTempFolder, kInitialSetupFileName), L"the downloaded description", setupName,
                       failure)) {
    ShowRunMessage(Text(IDS_DESCRIPTION_FAILED), failure);
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
    std::wstring failure;
    if (!LoadDescription(kInitialSetupFileName, L"the description beside Setup", setupName, failure)) {
      ShowRunMessage(Text(IDS_LOCAL_DESCRIPTION_FAILED), failure);
      return false;
    }
    localMode = m_description.GetValue(L"Download Initial Setup") == kLocalModeValue;
    m_log.Write(std::wstring(L"description beside Setup loaded: ") +
                (localMode ? L"local mode, its folder's files are copied" : L"its newer version is downloaded"));
  }
  // Whatever an earlier run left behind goes first.
  DeleteFolder(setupTempFolder, m_clock);
  if (!CreateSetupTempFolder(setupTempFolder)) {
    ShowRunMessage(Text(IDS_TEMP_FOLDER_FAILED),
                   setupTempFolder + L" cannot be made, or it or its parent is not private to the user");
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
    ShowRunMessage(Text(IDS_NO_CONNECTION), L"the connection check found no network");
    return false;
  }
  // A description beside Setup names the folder on the hosts that holds its newer version.
  const std::wstring path =
      m_description.IsLoaded() ? m_description.GetValue(L"Download Path") : kDefaultPathPrefix + setupName;
  const auto urlOn = [&](const std::wstring& host) {
    return m_trust.scheme + host + path + L"/" + kInitialSetupFileName;
  };
  const std::wstring host = ChooseDescriptionHost({m_hosts.primary, m_hosts.secondary}, [&](const std::wstring& h) {
    const std::int64_t length = ProbeUrlLength(urlOn(h), m_transport);
    m_log.Write(L"host " + h + L": declares " + DecimalText(length) + L" bytes for the description" +
                (HostServesDescription(length) ? L", chosen"
                                               : L", lost (1000 needed; 0 is no answer, an error status or no length)"));
    return length;
  });
  if (host.empty()) {
    ShowRunMessage(Text(IDS_SITE_NOT_FOUND), L"neither download host serves " + path + L"/" +
                                                           kInitialSetupFileName);
    return false;
  }
  if (!m_downloader.DownloadFile(urlOn(host), JoinPath(setupTempFolder, kInitialSetupFileName), nullptr)) {
    ShowRunMessage(Text(IDS_DESCRIPTION_DOWNLOAD_FAILED), L"every attempt at " + WithoutCredentials(urlOn(host)) + L" failed");
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
      ShowRunMessage(Text(IDS_NO_CONNECTION), L"the connection check found no network");
      return false;
    }
    downloadSite = FindDownloadSite();
    if (downloadSite.empty()) {
      ShowRunMessage(Text(IDS_SITE_NOT_FOUND),
                     L"no \"Download Sites\" entry declares more than 1000 bytes for " + remote);
      return false;
    }
    for (bool more = m_description.GetFirstFile(remote, local); more; more = m_description.GetNextFile(remote, local)) {
      total += ProbeUrlLength(m_trust.scheme + downloadSite + remote, m_transport);
    }
  }
  m_log.Write(L"byte total of the listed files: " + DecimalText(total));
  if (progressWindow != nullptr) progressWindow->SetProgressTotal(total);
  // A description with "File Hashes" vouches for every listed file, whichever way it arrives.
  const std::optional<CFileHashes> hashes = CFileHashes::From(m_description);
  WindowHandle window = progressWindow != nullptr ? &progressWindow->Window() : nullptr;
  for (bool more = m_description.GetFirstFile(remote, local); more; more = m_description.GetNextFile(remote, local)) {
    std::wstring failure;
    if (!DownloadListedFile(m_trust.scheme + downloadSite + remote, setupTempFolder, local, hashes, window, failure)) {
      ShowRunMessage(Text(IDS_FILE_DOWNLOAD_FAILED, {local}), local + L": " + failure);
      return false;
    }
    m_log.Write(L"listed file " + local + L": in place");
  }
  return true;
}

// One listed file into the setup temp folder; false when the run cannot go on with it.
bool CSetupApp::DownloadListedFile(const std::wstring& url, const std::wstring& setupTempFolder,
                                   const std::wstring& local, const std::optional<CFileHashes>& hashes,
                                   WindowHandle window, std::wstring& failure) {
  // Such an entry fails as its download would; a copy of a file the hashes do not cover that
  // lies there already goes too.
  failure = ListedFileRefusal(local, hashes);
  if (!failure.empty()) {
    if (IsPlainFileName(local)) DeleteFileInFolder(setupTempFolder, local);
    return false;
  }
  const std::wstring destination = JoinPath(setupTempFolder, local);
  const std::optional<CSha256Digest> expected = hashes ? hashes->For(local) : std::nullopt;
  if (m_downloader.DownloadFile(url, destination, window, expected)) return true;
  // A failed transfer over an earlier copy of the file keeps that copy, which will do, unless
  // the description's hash says it is not the file listed.
  if (!FileExists(destination)) {
    failure = L"every attempt at " + WithoutCredentials(url) + L" failed";
    return false;
  }
  if (expected && Sha256OfFile(destination) != expected) {
    DeleteFileInFolder(setupTempFolder, local);
    failure = L"the download failed and the earlier copy's SHA-256 is not the one listed";
    return false;
  }
  m_log.Write(L"listed file " + local + L": the download failed; the earlier copy is kept");
  return true;
}

std::wstring CSetupApp::FindDownloadSite() {
  std::wstring remote0, local0;
  m_description.GetFirstFile(remote0, local0);
  return ChooseDownloadSite(m_description, [&](const std::wstring& site) {
    const std::int64_t length = ProbeUrlLength(m_trust.scheme + site + remote0, m_transport);
    m_log.Write(L"site " + WithoutCredentials(site) + L": declares " + DecimalText(length) + L" bytes for " + remote0 +
                (SiteServesFiles(length) ? L", chosen"
                                         : L", lost (more than 1000 needed; 0 is no answer, an error status or no length)"));
    return length;
  });
}

bool CSetupApp::LoadDescription(const std::wstring& path, const std::wstring& which, const std::wstring& setupName,
                                std::wstring& failure) {
  if (!m_description.Load(path)) {
    failure = which + L" does not load: missing, damaged, too large, or not encrypted for this Setup";
    if (!m_trust.signingPublicKey.empty()) failure += L", or its signature is missing or not the vendor's";
    return false;
  }
  // A signature proves who wrote a description, not that it is the current one for this setup.
  if (m_trust.signingPublicKey.empty()) return true;
  const std::wstring refusal = SignedDescriptionRefusal(
      m_description, CDescriptionRuleInput{m_clock.UtcSeconds(), m_trust.minDescriptionSerial, setupName});
  if (refusal.empty()) return true;
  failure = which + L" is refused: " + refusal;
  return false;
}
