// Fuzz target: Load of arbitrary plain description files. Loading twice must give the same
// result, the lists must be the items of the loaded text, and eiftool check must report the
// same load result and the same lists for the same file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "description/setup_description.h"
#include "description/tag_parser.h"
#include "eif_check.h"
#include "system/text.h"

namespace {

// Longer inputs only slow each run down; the linear-time paths are measured by the benchmark.
constexpr std::size_t kMaxInputBytes = 16384;
const wchar_t kSitesTag[] = L"Download Sites";
const wchar_t kFilesTag[] = L"Files to download";

std::string g_folder;
std::string g_path;

void Require(bool condition) {
  if (!condition) std::abort();
}

struct CLoaded {
  bool result = false;
  std::wstring text;
  std::vector<std::wstring> missing;
  bool operator==(const CLoaded&) const = default;
};

CLoaded LoadFile(CSetupDescription& description) {
  CLoaded loaded;
  description.SetMissingTagHandler([&loaded](const std::wstring& name) { loaded.missing.push_back(name); });
  loaded.result = description.Load(FromUtf8(g_path));
  loaded.text = description.Text();
  description.SetMissingTagHandler([](const std::wstring&) {});
  return loaded;
}

// Every line of the report is one of its own: nothing from the description starts a line.
void CheckReportLines(const std::string& report) {
  static const char* const kStarts[] = {"File: ",
                                        "Read as: ",
                                        "End marker: ",
                                        "Tags:\n",
                                        "  ",
                                        "Loads: ",
                                        "Problem: ",
                                        "OK: ",
                                        "NOT READY: ",
                                        "Download sites, ",
                                        "Files to download (",
                                        "File hashes: ",
                                        "Signature: ",
                                        "Signing key ",
                                        "Note: ",
                                        "Warning: ",
                                        "Expires: ",
                                        "Serial: ",
                                        "Setup Name: "};
  Require(!report.empty() && report.back() == '\n');
  int loads = 0;
  for (std::size_t line = 0; line < report.size(); line = report.find('\n', line) + 1) {
    bool known = false;
    for (const char* start : kStarts) known = known || report.compare(line, std::strlen(start), start) == 0;
    Require(known && report.find('\r', line) >= report.find('\n', line));
    loads += report.compare(line, 7, "Loads: ") == 0 ? 1 : 0;
  }
  Require(loads == 1);
}

// The listing eiftool check prints under heading, as the lines that follow it ("  1. ...").
// Headings start a line; a listed entry may hold the same words behind its number.
std::string ListingAfter(const std::string& report, const std::string& heading) {
  const auto at = report.find("\n" + heading);
  if (at == std::string::npos) return "-";
  std::string listing;
  for (auto line = at + 1 + heading.size(); line < report.size() && report.compare(line, 2, "  ") == 0;) {
    const auto end = report.find('\n', line);
    listing += report.substr(line, end + 1 - line);
    line = end + 1;
  }
  return listing;
}

// The lists as the items of the loaded text, independently of the list readers' cursors,
// checked against those readers and rendered as eiftool check prints them.
std::string Sites(CSetupDescription& description) {
  std::wstring value;
  if (!GetTagValueIn(description.Text(), kSitesTag, value)) return "-";
  std::string listing;
  std::wstring site;
  int index = 0;
  for (bool ok = description.GetFirstSite(site); ok; ok = description.GetNextSite(site)) {
    Require(site == TrimDescriptionSpace(GetItemOfValue(value, index++)));
    listing += "  " + std::to_string(index) + ". " + ReportText(site) + "\n";
  }
  Require(TrimDescriptionSpace(GetItemOfValue(value, index)).empty());
  return listing;
}

std::string Files(CSetupDescription& description) {
  std::wstring value;
  if (!GetTagValueIn(description.Text(), kFilesTag, value)) return "-";
  std::string listing;
  std::wstring remote, local;
  int index = 0;
  for (bool ok = description.GetFirstFile(remote, local); ok; ok = description.GetNextFile(remote, local)) {
    const std::wstring item = GetItemOfValue(value, index++);
    const auto arrow = item.find(L"->");
    Require(arrow != std::wstring::npos && remote == TrimDescriptionSpace(item.substr(0, arrow)) &&
            local == TrimDescriptionSpace(item.substr(arrow + 2)));
    listing += "  " + std::to_string(index) + ". " + ReportText(remote) + " -> " + ReportText(local) + "\n";
  }
  return listing;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/websetup-load-fuzz-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  g_folder = folder;
  std::atexit([] { std::filesystem::remove_all(g_folder); });
  g_path = std::string(folder) + "/description.ini";
  // The Start-menu placeholder creates its folder: keep that inside the scratch folder.
  setenv("XDG_DATA_HOME", folder, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInputBytes) return 0;
  std::ofstream(g_path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  CSetupDescription description;
  const CLoaded first = LoadFile(description);
  // An empty file loads nothing: no text, no lookups, no messages.
  if (size == 0) Require(!first.result && first.text.empty() && first.missing.empty());
  Require(!first.result || description.GetValue(L"End") == L"End");
  const std::string sites = Sites(description);
  const std::string files = Files(description);
  // The same object again, and a fresh one: nothing of the first load may linger.
  Require(LoadFile(description) == first);
  Require(Sites(description) == sites && Files(description) == files);
  CSetupDescription fresh;
  Require(LoadFile(fresh) == first);

  std::ostringstream report;
  CheckDescription(FromUtf8(g_path), GetBuiltInDescriptionKey(), GetBuiltInEifSignature(), report);
  const std::string text = report.str();
  CheckReportLines(text);
  Require(text.find(first.result ? "\nLoads: yes\n" : "\nLoads: no\n") != std::string::npos);
  if (size == 0) return 0;
  Require(ListingAfter(text, "Download sites, in the order Setup tries them:\n") == sites);
  Require(ListingAfter(text, "Files to download (remote part -> local name):\n") == files);
  return 0;
}
