// The preflight of eiftool check --online (see eif_online.h). Every decision goes through the
// run's own rules: ProbeUrlLength for each probe, the download worker for the description,
// CSetupDescription for loading and the lists, the run's thresholds for hosts and sites.
#include "eif_online.h"

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "description/description_rules.h"
#include "description/file_hashes.h"
#include "description/description_signature.h"
#include "description/setup_description.h"
#include "download/connection.h"
#include "download/download_choice.h"
#include "download/downloader.h"
#include "eif_check.h"
#include "eif_private_file.h"
#include "system/clock.h"
#include "system/file_ops.h"
#include "system/text.h"
#include "websetup_config.h"

namespace {

// What one request got, as the report shows it.
struct CAnswer {
  std::wstring url;
  bool answered = false;
  int status = 0;
  std::uint64_t declared = 0;
  std::wstring finalUrl;
  std::int64_t length = 0;  // what the run counts: ProbeUrlLength's answer
};

// Passes requests to the real transport and remembers what the last one got.
class CRecordingTransport final : public IHttpTransport {
 public:
  explicit CRecordingTransport(IHttpTransport& transport) : m_transport(transport) {}
  std::unique_ptr<IHttpResponse> Open(const std::wstring& url) override {
    m_last = CAnswer();
    m_last.url = url;
    std::unique_ptr<IHttpResponse> response = m_transport.Open(url);
    if (response != nullptr) {
      m_last.answered = true;
      m_last.status = response->StatusCode();
      m_last.declared = response->DeclaredLength();
      m_last.finalUrl = response->FinalUrl();
    }
    return response;
  }
  CAnswer Probe(const std::wstring& url) {
    const std::int64_t length = ProbeUrlLength(url, *this);
    m_last.length = length;
    return m_last;
  }
  IHttpTransport& Inner() { return m_transport; }

 private:
  IHttpTransport& m_transport;
  CAnswer m_last;
};

std::string Json(const std::wstring& text) {
  std::string out = "\"";
  for (const char c : ToUtf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += "\\u00" + EncodeHexDigits(&c, 1);
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string AnswerJson(const CAnswer& a) {
  return "\"url\": " + Json(a.url) + ", \"answered\": " + (a.answered ? "true" : "false") +
         ", \"status\": " + std::to_string(a.status) + ", \"declaredLength\": " + std::to_string(a.declared) +
         ", \"finalUrl\": " + Json(a.finalUrl);
}

// Why a probe gave the length it did, in the report's words.
std::wstring Answer(const CAnswer& a) {
  std::wstring text;
  if (!a.answered) {
    text = L"no answer";
  } else if (a.status >= kFirstErrorStatus) {
    text = L"status " + std::to_wstring(a.status);
  } else {
    text = L"status " + std::to_wstring(a.status) + L", declares " + std::to_wstring(a.length) + L" bytes";
  }
  if (!a.finalUrl.empty() && a.finalUrl != a.url) text += L", redirected to " + a.finalUrl;
  return text;
}

// The first piece of a listed file, tested as the download worker tests it.
bool ServesErrorPage(IHttpTransport& transport, const std::wstring& url) {
  std::unique_ptr<IHttpResponse> response = transport.Open(url);
  if (response == nullptr || response->StatusCode() >= kFirstErrorStatus) return false;
  char chunk[kReadChunkBytes];
  const std::int64_t n = response->Read(chunk, sizeof chunk);
  return n > 0 && IsErrorPageChunk(chunk, static_cast<std::size_t>(n));
}

struct CListed {
  std::wstring remote, local;
  CAnswer answer;
  bool errorPage = false;
  std::wstring refusal = {};  // why the run refuses the file before fetching it
};

struct CPreflight {
  std::vector<std::pair<std::wstring, CAnswer>> hosts;
  std::wstring host;
  bool descriptionLoads = false;
  std::string checkReport;
  bool checkClean = false;
  std::vector<std::pair<std::wstring, CAnswer>> sites;
  std::wstring site;
  std::vector<CListed> files;
  std::int64_t total = 0;
  std::wstring message;  // the run's message, empty when it would succeed
  std::wstring refusal;  // why a signed Setup refuses the description that loads
};

void Run(const COnlineOptions& o, CRecordingTransport& transport, const std::wstring& folder, CPreflight& p) {
  const std::wstring fileUrl = L"/" + std::wstring(kInitialSetupFileName);
  p.host = ChooseDescriptionHost({o.primary, o.secondary}, [&](const std::wstring& host) {
    p.hosts.emplace_back(host, transport.Probe(o.scheme + host + o.path + fileUrl));
    return p.hosts.back().second.length;
  });
  if (p.host.empty()) {
    p.message = L"Error: Download site not found.";
    return;
  }
  const std::wstring url = o.scheme + p.host + o.path + fileUrl;
  const std::wstring path = folder + kPathSeparatorText + kInitialSetupFileName;
  CDownloader downloader(RealClock(), transport.Inner());
  if (!downloader.DownloadFile(url, path, nullptr)) {
    p.message = L"Error: Failed to download.";
    return;
  }
  if (!o.signingKey.empty()) downloader.DownloadFile(url + kSignatureSuffix, path + kSignatureSuffix, nullptr);
  std::ostringstream report;
  p.checkClean =
      CheckDescription(path, o.key, o.signature, report, CCheckOptions{o.signingKey, {}, o.minSerial, o.setupName}) == 0;
  p.checkReport = report.str();
  CSetupDescription description{o.key, o.signature};
  description.RequireSignature(o.signingKey);
  description.SetMissingTagHandler([](const std::wstring&) {});
  p.descriptionLoads = description.Load(path);
  // A signed Setup holds what loads to the same rules as the run does.
  if (p.descriptionLoads && !o.signingKey.empty()) {
    p.refusal = SignedDescriptionRefusal(description, {RealClock().UtcSeconds(), o.minSerial, o.setupName});
  }
  if (!p.descriptionLoads || !p.refusal.empty()) {
    p.message = L"Error opening the initial setup eif.";
    return;
  }
  std::wstring remote, local;
  if (!description.GetFirstFile(remote, local)) return;
  p.site = ChooseDownloadSite(description, [&](const std::wstring& site) {
    p.sites.emplace_back(site, transport.Probe(o.scheme + site + remote));
    return p.sites.back().second.length;
  });
  if (p.site.empty()) {
    p.message = L"Error: Download site not found.";
    return;
  }
  const std::optional<CFileHashes> hashes = CFileHashes::From(description);
  for (bool more = description.GetFirstFile(remote, local); more; more = description.GetNextFile(remote, local)) {
    CListed listed{remote, local, transport.Probe(o.scheme + p.site + remote)};
    listed.errorPage = ServesErrorPage(transport.Inner(), listed.answer.url);
    listed.refusal = ListedFileRefusal(local, hashes);
    p.total += listed.answer.length;
    const bool fails = !listed.answer.answered || listed.answer.status >= kFirstErrorStatus ||
                       listed.answer.length == 0 || listed.errorPage || !listed.refusal.empty();
    if (fails && p.message.empty()) p.message = L"Error: Failed to download " + local;
    p.files.push_back(listed);
  }
}

void WriteText(const COnlineOptions& o, const CPreflight& p, std::ostream& out) {
  out << "Description on the download hosts (" << ReportText(o.path) << "/" << ToUtf8(kInitialSetupFileName)
      << "):\n";
  for (const auto& [host, answer] : p.hosts) {
    out << "  " << ReportText(host) << ": " << ReportText(Answer(answer))
        << (host == p.host ? ", chosen" : ", lost (at least 1000 bytes needed)") << "\n";
  }
  if (!p.host.empty() && !p.checkReport.empty()) {
    out << "The description served by " << ReportText(p.host) << ":\n" << p.checkReport;
  }
  if (!p.refusal.empty()) out << "The run refuses that description: " << ReportText(p.refusal) << "\n";
  if (!p.sites.empty()) out << "Download sites, probed with the first listed file:\n";
  for (const auto& [site, answer] : p.sites) {
    out << "  " << ReportText(site) << ": " << ReportText(Answer(answer))
        << (site == p.site ? ", chosen" : ", lost (more than 1000 bytes needed)") << "\n";
  }
  if (!p.files.empty()) out << "Listed files on " << ReportText(p.site) << ":\n";
  for (const CListed& f : p.files) {
    out << "  " << ReportText(f.remote) << " -> " << ReportText(f.local) << ": " << ReportText(Answer(f.answer))
        << (f.errorPage ? ", a not-found page" : "") << (f.answer.length == 0 ? ", the download would fail" : "")
        << (f.refusal.empty() ? "" : ", refused by the run: " + ReportText(f.refusal))
        << "\n";
  }
  out << "Byte total: " << p.total << "\n";
  out << "Not seen: the listed files' bytes. The preflight fetches no listed file whole, so a file swapped or "
         "damaged on a mirror shows only when the run checks it against \"File Hashes\".\n";
  if (!p.message.empty()) {
    out << "Prediction: the run fails with \"" << ReportText(p.message) << "\"\n";
  } else {
    out << "Prediction: the run succeeds" << (p.checkClean ? "" : ", but the description has problems (above)")
        << "\n";
  }
}

void WriteJson(const CPreflight& p, bool ok, std::ostream& out) {
  out << "{\"hosts\": [";
  for (std::size_t i = 0; i < p.hosts.size(); ++i) {
    out << (i ? ", " : "") << "{\"host\": " << Json(p.hosts[i].first) << ", " << AnswerJson(p.hosts[i].second)
        << ", \"length\": " << p.hosts[i].second.length << ", \"chosen\": " << (p.hosts[i].first == p.host ? "true" : "false")
        << "}";
  }
  out << "], \"host\": " << Json(p.host) << ", \"descriptionLoads\": " << (p.descriptionLoads ? "true" : "false")
      << ", \"descriptionClean\": " << (p.checkClean ? "true" : "false") << ", \"sites\": [";
  for (std::size_t i = 0; i < p.sites.size(); ++i) {
    out << (i ? ", " : "") << "{\"site\": " << Json(p.sites[i].first) << ", " << AnswerJson(p.sites[i].second)
        << ", \"length\": " << p.sites[i].second.length << ", \"chosen\": " << (p.sites[i].first == p.site ? "true" : "false")
        << "}";
  }
  out << "], \"site\": " << Json(p.site) << ", \"files\": [";
  for (std::size_t i = 0; i < p.files.size(); ++i) {
    const CListed& f = p.files[i];
    out << (i ? ", " : "") << "{\"remote\": " << Json(f.remote) << ", \"local\": " << Json(f.local) << ", "
        << AnswerJson(f.answer) << ", \"length\": " << f.answer.length
        << ", \"errorPage\": " << (f.errorPage ? "true" : "false") << "}";
  }
  out << "], \"byteTotal\": " << p.total << ", \"message\": " << Json(p.message)
      << ", \"succeeds\": " << (ok ? "true" : "false") << "}\n";
}

}  // namespace

int CheckOnline(const COnlineOptions& options, std::ostream& out, IHttpTransport& transport) {
  // Where the description is fetched to and checked: no other user may swap it meanwhile.
  const std::wstring folder = CreateScratchFolder(L"eiftool-online-");
  if (folder.empty()) {
    std::cerr << "eiftool: check --online: no private scratch folder can be made in the temporary folder\n";
    return 2;
  }
  CRecordingTransport recording(transport);
  CPreflight p;
  Run(options, recording, folder, p);
  DeleteFolder(folder);
  const bool ok = p.message.empty() && p.checkClean;
  if (options.json) {
    WriteJson(p, ok, out);
  } else {
    WriteText(options, p, out);
  }
  return ok ? 0 : 1;
}
