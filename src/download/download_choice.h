// Where a run downloads from: the host that serves the description and the site that serves
// the listed files. The run and eiftool's preflight both decide with these, so the preflight
// predicts the run's choice.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CSetupDescription;

// Asks what a host or site declares (probing it, and logging or recording the answer as the
// caller wishes); 0 for no answer, an error status or no length.
using DeclaredLength = std::function<std::int64_t(const std::wstring& where)>;

// A host serves the description when it declares at least 1000 bytes for it; a site serves the
// files when it declares more than 1000 bytes for the first listed file. Anything smaller is an
// error page or a placeholder.
bool HostServesDescription(std::int64_t declaredLength);
bool SiteServesFiles(std::int64_t declaredLength);

// The first of hosts that serves the description, asking each in turn; empty when none does.
std::wstring ChooseDescriptionHost(const std::vector<std::wstring>& hosts, const DeclaredLength& declared);
// The first "Download Sites" entry that serves the files, asking each in turn about the first
// listed file; empty when none does or no file is listed.
std::wstring ChooseDownloadSite(CSetupDescription& description, const DeclaredLength& declared);
