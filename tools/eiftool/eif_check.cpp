// The report of eiftool check (see eif_check.h).
#include "eif_check.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "description/eif_decrypt.h"
#include "description/setup_description.h"
#include "description/tag_parser.h"
#include "eif_check_report.h"
#include "system/file_name.h"
#include "system/text.h"

namespace {

const wchar_t kSitesTag[] = L"Download Sites";
const wchar_t kFilesTag[] = L"Files to download";
const wchar_t kEndTag[] = L"End";
const wchar_t kInitialSetupTag[] = L"Download Initial Setup";
const wchar_t kProgramTag[] = L"Program to run";
const wchar_t kUserInfoTag[] = L"User Info Filename";
// Every tag Setup reads, and whether a run cannot do without it. The first two are read only
// on a description that lies beside Setup.
struct CTagRule {
  const wchar_t* name;
  bool required;
};
constexpr CTagRule kTags[] = {
    {kInitialSetupTag, false}, {L"Download Path", false}, {kSitesTag, true}, {kFilesTag, true},
    {kUserInfoTag, true},      {kProgramTag, true},       {kEndTag, true}};

void ReportIfNotPlain(CCheck& check, const std::wstring& what, const std::wstring& name) {
  if (IsPlainFileName(name)) return;
  check.Problem(what + L" \"" + name +
                L"\" is not a plain file name (no folder, drive, device such as CON or NUL.txt, \\/:*?\"<>|, "
                L"control characters, trailing dot or space; at most 255 characters)");
}

// "No" exactly, as Setup compares it: Setup then copies its own folder instead of downloading.
bool IsLocalMode(const CSetupDescription& description) {
  return description.FindTag(kInitialSetupTag) != kTagNotFound && description.GetValue(kInitialSetupTag) == L"No";
}

std::vector<std::wstring> SplitItems(const std::wstring& value) {
  std::vector<std::wstring> items;
  std::size_t start = 0;
  for (auto lineFeed = value.find(L'\n'); lineFeed != std::wstring::npos; lineFeed = value.find(L'\n', start)) {
    items.push_back(value.substr(start, lineFeed - start));
    start = lineFeed + 1;
  }
  items.push_back(value.substr(start));
  return items;
}

// "//" starts a comment, so a site written as a URL keeps only its scheme ("http:").
void ReportCutSites(CCheck& check, const std::wstring& rawText) {
  std::wstring rawValue;
  if (!GetTagValueIn(rawText, kSitesTag, rawValue)) return;
  for (const auto& item : SplitItems(rawValue)) {
    const auto comment = item.find(L"//");
    if (comment == std::wstring::npos) continue;
    const std::wstring kept = TrimDescriptionSpace(std::wstring_view(item).substr(0, comment));
    if (kept.empty() || kept.back() == L':') {
      check.Problem(L"site \"" + TrimDescriptionSpace(item) +
                    L"\" is cut at \"//\" (write host names without \"http://\")");
    }
  }
}

void ReportSites(CCheck& check, CSetupDescription& description, const std::wstring& rawText) {
  ReportCutSites(check, rawText);
  if (description.FindTag(kSitesTag) == kTagNotFound) return;
  check.out << "Download sites, in the order Setup tries them:\n";
  std::wstring site;
  std::size_t count = 0;
  for (bool ok = description.GetFirstSite(site); ok; ok = description.GetNextSite(site)) {
    check.out << "  " << ++count << ". " << ReportText(site) << "\n";
  }
  if (count == 0) check.Problem(L"\"Download Sites\" lists no site");
  ReportItemsAfterEnd(check, description.Text(), kSitesTag, count);
}

// Returns the local names Setup reads, in list order.
std::vector<std::wstring> ReportFiles(CCheck& check, CSetupDescription& description) {
  std::vector<std::wstring> locals;
  if (description.FindTag(kFilesTag) == kTagNotFound) return locals;
  check.out << "Files to download (remote part -> local name):\n";
  std::wstring remote, local;
  std::size_t count = 0;
  for (bool ok = description.GetFirstFile(remote, local);; ok = description.GetNextFile(remote, local)) {
    const std::wstring item = description.GetItem(kFilesTag, static_cast<int>(count));
    if (!ok) {
      if (TrimDescriptionSpace(item).empty()) {
        ReportItemsAfterEnd(check, description.Text(), kFilesTag, count);
      } else {
        check.Problem(L"file entry " + std::to_wstring(count + 1) + L" \"" + TrimDescriptionSpace(item) +
                      L"\" is not \"remote part -> local name\"; Setup stops the list there");
      }
      break;
    }
    check.out << "  " << ++count << ". " << ReportText(remote) << " -> " << ReportText(local) << "\n";
    ReportIfNotPlain(check, L"local name", local);
    locals.push_back(local);
  }
  if (count == 0 && !IsLocalMode(description)) {
    check.Problem(L"\"Files to download\" lists no file (only \"Download Initial Setup\" No may list none)");
  }
  return locals;
}

// The names Setup writes and starts in the setup temp folder. Downloading brings only the
// listed files there, so a program that is not among them could never start.
void ReportRunNames(CCheck& check, CSetupDescription& description, const std::vector<std::wstring>& locals) {
  if (description.FindTag(kUserInfoTag) != kTagNotFound) {
    ReportIfNotPlain(check, L"\"User Info Filename\"", TrimDescriptionSpace(description.GetValue(kUserInfoTag)));
  }
  if (description.FindTag(kProgramTag) == kTagNotFound) return;
  const std::wstring program = TrimDescriptionSpace(description.GetValue(kProgramTag));
  ReportIfNotPlain(check, L"\"Program to run\"", program);
  if (IsLocalMode(description) || description.FindTag(kFilesTag) == kTagNotFound) return;
  const std::wstring wanted = AsciiUpper(program);
  for (const auto& local : locals) {
    if (AsciiUpper(local) == wanted) return;
  }
  check.Problem(L"\"Program to run\" \"" + program +
                L"\" is not one of the listed local names; Setup could not start it");
}

void ReportTags(CCheck& check, const std::wstring& text) {
  check.out << "Tags:\n";
  for (const auto& tag : kTags) {
    std::wstring value;
    if (GetTagValueIn(text, tag.name, value)) {
      check.out << "  [" << ToUtf8(tag.name) << "] " << ReportText(TrimDescriptionSpace(GetItemOfValue(value, 0)))
                << "\n";
    } else {
      check.out << "  [" << ToUtf8(tag.name) << "] missing" << (tag.required ? "" : " (optional)") << "\n";
      if (tag.required) check.Problem(std::wstring(L"tag \"") + tag.name + L"\" is missing");
    }
  }
}

// Reads the file as Load does, saying why when nothing comes back.
std::optional<std::wstring> ReadRawText(CCheck& check, const std::wstring& path, std::string_view key,
                                        std::wstring_view signature) {
  std::optional<ByteBuffer> buffer;
  std::size_t size = 0;
  const bool plain = IsPlainDescriptionName(path);
  check.out << "Read as: " << (plain ? "plain text (name ends in \".ini\")" : "EIF (decrypted)") << "\n";
  if (plain) {
    ReadPlainFile(path, buffer, size);
  } else {
    DecryptEifFile(path, buffer, size, key, signature);
  }
  if (!buffer) {
    check.Problem(plain ? L"the file is missing, unreadable or empty"
                        : L"the file is missing, empty, or does not decrypt with this key and signature");
    return std::nullopt;
  }
  return DecodeDescriptionBytes(*buffer, plain ? size - 1 : size);
}

}  // namespace

void ReportItemsAfterEnd(CCheck& check, const std::wstring& text, const wchar_t* tag, std::size_t endIndex) {
  std::wstring value;
  if (!GetTagValueIn(text, tag, value)) return;
  const auto items = SplitItems(value);
  int unread = 0;
  for (std::size_t i = endIndex + 1; i < items.size(); ++i) {
    if (!TrimDescriptionSpace(items[i]).empty()) ++unread;
  }
  if (unread > 0) {
    check.Problem(std::wstring(L"\"") + tag + L"\" ends early at a blank line (entry " + std::to_wstring(endIndex + 1) +
                  L"); " + std::to_wstring(unread) + L" later entries are never read");
  }
}

std::string ReportText(std::wstring_view text) {
  std::wstring shown;
  for (const wchar_t c : text) {
    const auto code = static_cast<std::uint32_t>(c);
    if (c == L'\n') {
      shown += L"\\n";
    } else if (c == L'\r') {
      shown += L"\\r";
    } else if (c == L'\t') {
      shown += L"\\t";
    } else if (code < 0x20 || code == 0x7F) {
      const auto byte = static_cast<std::uint8_t>(code);
      shown += L"\\x" + FromUtf8(EncodeHexDigits(&byte, 1));
    } else {
      shown.push_back(c);
    }
  }
  return ToUtf8(shown);
}

namespace {

// The report of a description that could be read; true when Load accepts it.
bool ReportLoaded(CCheck& check, const std::wstring& path, std::string_view key, std::wstring_view signature,
                  const std::wstring& raw, const CCheckOptions& options) {
  CSetupDescription description{std::string(key), std::wstring(signature)};
  description.RequireSignature(options.signingKey);
  std::vector<std::wstring> missing;
  description.SetMissingTagHandler([&missing](const std::wstring& name) { missing.push_back(name); });
  const bool loaded = description.Load(path);
  const std::wstring& text = description.Text();
  std::wstring end;
  const bool hasEnd = GetTagValueIn(text, kEndTag, end);
  if (!hasEnd && !missing.empty()) missing.pop_back();  // Load's own lookup of "End"
  const std::wstring endItem = GetItemOfValue(end, 0);
  check.out << "End marker: "
            << (!hasEnd              ? "missing"
                : endItem == kEndTag ? "present"
                                     : "wrong, must be exactly End")
            << "\n";
  if (hasEnd && endItem != kEndTag) check.Problem(L"\"End\" holds \"" + endItem + L"\", not exactly \"End\"");
  if (!loaded && hasEnd && endItem == kEndTag) {
    check.Problem(L"placeholders refer to themselves or grow without bound; Setup refuses the description");
  }
  for (const auto& name : missing) check.Problem(L"placeholder $" + name + L"$ names a missing tag");
  const auto dollar = text.find(L'$');
  if (loaded && dollar != std::wstring::npos) {
    check.Problem(L"unpaired \"$\" stops placeholder expansion: \"" + text.substr(dollar, 40) + L"\"");
  }
  ReportTags(check, text);
  description.SetMissingTagHandler([](const std::wstring&) {});
  ReportSites(check, description, raw);
  const std::vector<std::wstring> locals = ReportFiles(check, description);
  ReportRunNames(check, description, locals);
  ReportFileHashes(check, description, locals, options.filesFolder, !options.signingKey.empty());
  ReportTrustTags(check, description, options);
  return loaded;
}

}  // namespace

int CheckDescription(const std::wstring& path, std::string_view key, std::wstring_view signature, std::ostream& out,
                     const CCheckOptions& options) {
  CCheck check{out, {}, {}};
  out << "File: " << ReportText(path) << "\n";
  // As in Setup, nothing of a file whose signature fails is decrypted or parsed.
  const bool trusted = options.signingKey.empty() || ReportSignature(check, path, options.signingKey);
  const std::optional<std::wstring> raw =
      trusted ? ReadRawText(check, path, key, signature) : std::optional<std::wstring>();
  const bool loaded = raw && ReportLoaded(check, path, key, signature, *raw, options);
  out << "Loads: " << (loaded ? "yes" : "no") << "\n";
  for (const auto& warning : check.warnings) out << "Warning: " << warning << "\n";
  for (const auto& problem : check.problems) out << "Problem: " << problem << "\n";
  const bool ok = loaded && check.problems.empty();
  out << (ok ? "OK: ready to publish" : "NOT READY: " + std::to_string(check.problems.size()) + " problem(s)") << "\n";
  return ok ? 0 : 1;
}
