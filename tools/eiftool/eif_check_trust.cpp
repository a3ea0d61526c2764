// The trust parts of eiftool check: the description's signature, its "File Hashes", and the tags
// that keep an old or another product's signed description from being taken.
#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>

#include "description/description_rules.h"
#include "description/description_signature.h"
#include "description/file_hashes.h"
#include "description/setup_description.h"
#include "description/tag_parser.h"
#include "eif_check_report.h"
#include "system/clock.h"
#include "system/file.h"
#include "system/file_name.h"
#include "system/path.h"
#include "system/text.h"

namespace {

// The well-formed lines by name, each with the digests given for it; malformed lines and lines
// behind a blank one are reported. The walk is the one CFileHashes::From makes.
std::map<std::wstring, std::set<std::string>> HashLinesByName(CCheck& check, const CSetupDescription& description) {
  std::map<std::wstring, std::set<std::string>> lines;
  int index = 0;
  for (;; ++index) {
    const std::wstring item = TrimDescriptionSpace(description.GetItem(kFileHashesTag, index));
    if (item.empty()) break;
    CSha256Digest digest{};
    std::wstring name;
    if (ParseFileHashLine(item, digest, name)) {
      lines[name].insert(EncodeHexDigits(digest.data(), digest.size()));
    } else {
      check.Problem(L"\"File Hashes\" line \"" + item +
                    L"\" is not \"<64 hex digits>  <local name>\" as sha256sum prints it");
    }
  }
  ReportItemsAfterEnd(check, description.Text(), kFileHashesTag, static_cast<std::size_t>(index));
  return lines;
}

void CompareWithFile(CCheck& check, const std::wstring& folder, const std::wstring& local,
                     const CSha256Digest& expected) {
  if (!IsPlainFileName(local)) return;  // reported with the list; Setup never fetches it
  const std::wstring path = JoinPath(folder, local);
  const std::optional<CSha256Digest> actual = Sha256OfFile(path);
  if (!actual) {
    check.Problem(L"--files: \"" + path + L"\" is missing or unreadable");
  } else if (*actual != expected) {
    check.Problem(L"--files: \"" + path + L"\" has SHA-256 " +
                  FromUtf8(EncodeHexDigits(actual->data(), actual->size())) + L", not the one in \"File Hashes\"");
  }
}

}  // namespace

bool ReportSignature(CCheck& check, const std::wstring& path, std::string_view signingKey) {
  check.out << "Signing key (Ed25519 public key): " << EncodeHexDigits(signingKey.data(), signingKey.size()) << "\n";
  const std::wstring signaturePath = path + kSignatureSuffix;
  const std::optional<ByteBuffer> file = ReadWholeFile(path, kMaxEifFileBytes);
  std::uint64_t size = 0;
  if (!file) {
    check.out << "Signature: not checked\n";
    check.Problem(L"the file is missing, unreadable, empty or larger than Setup reads");
  } else if (!CFile::GetStatus(signaturePath, size)) {
    check.out << "Signature: missing\n";
    check.Problem(L"no signature \"" + signaturePath +
                  L"\"; a Setup built with the signing key refuses the description (eiftool sign)");
  } else if (!HasValidSignatureFile(path, *file, signingKey)) {
    check.out << "Signature: NOT valid\n";
    check.Problem(L"\"" + signaturePath +
                  L"\" is not this file's signature by the signing key; sign the file again after every pack");
  } else {
    check.out << "Signature: valid\n";
    return true;
  }
  return false;
}

void ReportFileHashes(CCheck& check, const CSetupDescription& description, const std::vector<std::wstring>& locals,
                      const std::wstring& filesFolder, bool signedCheck) {
  const std::optional<CFileHashes> hashes = CFileHashes::From(description);
  if (!hashes) {
    check.out << "File hashes: none (Setup takes the listed files as they arrive)\n";
    if (!filesFolder.empty()) check.Problem(L"--files: there is no \"File Hashes\" tag to compare the files with");
    return;
  }
  const auto lines = HashLinesByName(check, description);
  std::set<std::wstring> listed;
  for (const auto& local : locals) {
    if (!listed.insert(local).second) continue;
    const std::optional<CSha256Digest> digest = hashes->For(local);
    if (digest && !filesFolder.empty()) CompareWithFile(check, filesFolder, local, *digest);
    if (digest) continue;
    check.Problem(lines.count(local)
                      ? L"\"File Hashes\" has lines with different hashes for \"" + local +
                            L"\"; Setup refuses the file"
                      : L"listed file \"" + local + L"\" has no line in \"File Hashes\"; Setup refuses it");
  }
  for (const auto& [name, digests] : lines) {
    if (!listed.count(name)) check.Problem(L"\"File Hashes\" has a line for \"" + name + L"\", which is not listed");
  }
  check.out << "File hashes: lines for " << lines.size() << " name(s), " << listed.size() << " listed file(s)"
            << (filesFolder.empty() ? "" : ", compared with the files in " + ReportText(filesFolder)) << "\n";
  if (!signedCheck) {
    check.out << "Note: unsigned, the hashes protect nothing: anyone on the way can drop the tag. Sign the "
                 "description and build Setup with the public key.\n";
  }
}

void ReportTrustTags(CCheck& check, const CSetupDescription& description, const CCheckOptions& options) {
  constexpr std::int64_t kWarnSeconds = 7 * 24 * 60 * 60;
  const std::int64_t now = RealClock().UtcSeconds();
  const std::optional<std::wstring> expires = OptionalTagValue(description, kExpiresTag),
                                    serial = OptionalTagValue(description, kSerialTag),
                                    name = OptionalTagValue(description, kSetupNameTag);
  check.out << "Expires: " << (expires ? ReportText(*expires) : "none (never expires)");
  if (const std::optional<std::int64_t> when = expires ? ParseUtcTimestamp(*expires) : std::nullopt) {
    const std::int64_t left = *when - now;
    // Whole days, rounded to the nearest.
    check.out << (left >= 0 ? " (" + std::to_string((left + 43200) / 86400) + " days left)" : " (passed)");
    if (left >= 0 && left < kWarnSeconds) {
      check.Warning(L"fewer than 7 days are left before \"Expires\" (" + *expires +
                    L"); pack, sign and publish the description again before then");
    }
  }
  check.out << "\nSerial: " << (serial ? ReportText(*serial) : "none (counts as 0)") << "\nSetup Name: "
            << (name ? ReportText(*name) : "none (any setup name takes it)") << "\n";
  const std::wstring refusal = TrustTagRefusal(description, {now, options.minSerial, options.setupName});
  if (!refusal.empty()) check.Problem(L"a signed Setup refuses the description: " + refusal);
}
