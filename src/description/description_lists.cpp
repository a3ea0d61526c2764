// The two list readers of the setup description: download sites and files to download.
#include "description/setup_description.h"
#include "description/tag_parser.h"

namespace {
const wchar_t kFilesTag[] = L"Files to download";
const wchar_t kSitesTag[] = L"Download Sites";
const wchar_t kArrow[] = L"->";
constexpr std::size_t kArrowLength = 2;
}  // namespace

bool CSetupDescription::GetFirstFile(std::wstring& remote, std::wstring& local) {
  m_fileCursor = 0;
  return GetNextFile(remote, local);
}

bool CSetupDescription::GetNextFile(std::wstring& remote, std::wstring& local) {
  remote.clear();
  local.clear();
  const std::wstring item = GetItem(kFilesTag, m_fileCursor);
  if (item.empty()) return false;
  const auto arrow = item.find(kArrow);
  if (arrow != std::wstring::npos) {
    remote = TrimDescriptionSpace(std::wstring_view(item).substr(0, arrow));
    local = TrimDescriptionSpace(std::wstring_view(item).substr(arrow + kArrowLength));
  }
  ++m_fileCursor;
  return !remote.empty() && !local.empty();
}

bool CSetupDescription::GetFirstSite(std::wstring& site) {
  m_siteCursor = 0;
  return GetNextSite(site);
}

bool CSetupDescription::GetNextSite(std::wstring& site) {
  site.clear();
  const std::wstring item = GetItem(kSitesTag, m_siteCursor);
  if (item.empty()) return false;
  site = TrimDescriptionSpace(item);
  ++m_siteCursor;
  return !site.empty();
}
