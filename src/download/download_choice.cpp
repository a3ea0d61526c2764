// The run's choice of host and site.
#include "download/download_choice.h"

#include "description/setup_description.h"
#include "download/connection.h"

bool HostServesDescription(std::int64_t declaredLength) { return declaredLength >= kMinimumDeclaredLength; }
bool SiteServesFiles(std::int64_t declaredLength) { return declaredLength > kMinimumDeclaredLength; }

std::wstring ChooseDescriptionHost(const std::vector<std::wstring>& hosts, const DeclaredLength& declared) {
  for (const std::wstring& host : hosts) {
    if (HostServesDescription(declared(host))) return host;
  }
  return {};
}

std::wstring ChooseDownloadSite(CSetupDescription& description, const DeclaredLength& declared) {
  std::wstring remote, local, site;
  if (!description.GetFirstFile(remote, local)) return {};
  for (bool more = description.GetFirstSite(site); more; more = description.GetNextSite(site)) {
    if (SiteServesFiles(declared(site))) return site;
  }
  return {};
}
