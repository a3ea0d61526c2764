// Writing "File Hashes" and other tags into a description's own bytes (see eif_hashes.h). The text is edited
// where Setup's parser will see the edit, and then read back the way Setup reads it: whatever
// this file gets wrong about comments or placeholders is refused, never written.
#include "eif_hashes.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "description/file_hashes.h"
#include "description/setup_description.h"
#include "system/file_name.h"
#include "system/path.h"
#include "system/text.h"

namespace {

struct CListedFile {
  std::wstring remote;
  std::wstring local;
  bool operator==(const CListedFile&) const = default;
};

struct CHashLine {
  std::wstring name;
  CSha256Digest digest;
};

// The description as units of its own encoding (bytes, or UTF-16 code units behind FF FE), up
// to the first zero unit, where Setup stops reading. All syntax of the format is ASCII, so
// headers and comments are found on units without decoding anything.
class CRawUnits {
 public:
  explicit CRawUnits(const std::string& bytes)
      : m_bytes(bytes), m_utf16(bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    while (m_count < (m_bytes.size() - Start()) / Width() && At(m_count) != 0) ++m_count;
  }
  bool IsUtf16() const { return m_utf16; }
  std::size_t Count() const { return m_count; }
  std::uint32_t At(std::size_t i) const {
    const auto byte = [this](std::size_t at) {
      return static_cast<std::uint32_t>(static_cast<unsigned char>(m_bytes[at]));
    };
    return m_utf16 ? byte(Start() + 2 * i) | byte(Start() + 2 * i + 1) << 8 : byte(i);
  }
  std::size_t ByteOffset(std::size_t i) const { return Start() + Width() * i; }

 private:
  std::size_t Start() const { return m_utf16 ? 2 : 0; }
  std::size_t Width() const { return m_utf16 ? 2 : 1; }
  const std::string& m_bytes;
  bool m_utf16;
  std::size_t m_count = 0;
};

// The units that survive comment removal ("//" up to, not including, the line feed), as their
// positions and their ASCII upper-cased text.
struct CKeptUnits {
  std::vector<std::size_t> positions;
  std::u32string upper;
};

CKeptUnits KeptUnits(const CRawUnits& raw) {
  CKeptUnits kept;
  for (std::size_t i = 0; i < raw.Count();) {
    if (raw.At(i) == '/' && i + 1 < raw.Count() && raw.At(i + 1) == '/') {
      while (i < raw.Count() && raw.At(i) != '\n') ++i;
      continue;
    }
    const std::uint32_t unit = raw.At(i);
    kept.positions.push_back(i++);
    kept.upper.push_back(static_cast<char32_t>(unit >= 'a' && unit <= 'z' ? unit - 'a' + 'A' : unit));
  }
  return kept;
}

std::wstring LineEndOf(const CRawUnits& raw) {
  for (std::size_t i = 0; i < raw.Count(); ++i) {
    if (raw.At(i) == '\n') return i > 0 && raw.At(i - 1) == '\r' ? L"\r\n" : L"\n";
  }
  return L"\r\n";
}

std::string Encode(const std::wstring& text, bool utf16) {
  if (!utf16) return EncodeNarrowText(text);
  std::string out;
  const auto unit = [&out](std::uint32_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  };
  for (const wchar_t c : text) {
    auto code = static_cast<std::uint32_t>(c);
    if (code > 0xFFFF) {
      code -= 0x10000;
      unit(0xD800 + (code >> 10));
      unit(0xDC00 + (code & 0x3FF));
    } else {
      unit(code);
    }
  }
  return out;
}

// The list as Setup walks it: entries up to the first that is not "remote -> local".
bool ReadListedFiles(const std::string& bytes, std::vector<CListedFile>& files,
                     std::optional<CFileHashes>* hashes = nullptr) {
  CSetupDescription description;
  description.SetMissingTagHandler([](const std::wstring&) {});
  if (!description.LoadText(DecodeDescriptionBytes(ByteBuffer(bytes.begin(), bytes.end()), bytes.size()))) {
    return false;
  }
  files.clear();
  CListedFile file;
  for (bool ok = description.GetFirstFile(file.remote, file.local); ok;
       ok = description.GetNextFile(file.remote, file.local)) {
    files.push_back(file);
  }
  if (hashes) *hashes = CFileHashes::From(description);
  return true;
}

bool HashListedFiles(const std::vector<CListedFile>& files, const std::wstring& folder, std::vector<CHashLine>& lines,
                     std::string& error) {
  for (const auto& file : files) {
    const std::wstring& name = file.local;
    if (std::any_of(lines.begin(), lines.end(), [&name](const CHashLine& line) { return line.name == name; })) continue;
    // Setup refuses other names anyway; and a "$" would pair with another one and turn the
    // text between them into a placeholder.
    if (!IsPlainFileName(name) || name.find(L'$') != std::wstring::npos) {
      error = "local name \"" + ToUtf8(name) + "\" is not a plain file name that a hash line can carry";
      return false;
    }
    const std::optional<CSha256Digest> digest = Sha256OfFile(JoinPath(folder, name));
    if (!digest) {
      error = ToUtf8(JoinPath(folder, name)) + " is missing or unreadable; every listed file needs its hash";
      return false;
    }
    lines.push_back({name, *digest});
  }
  return true;
}

std::wstring TagText(const std::vector<CHashLine>& lines, const std::wstring& lineEnd) {
  std::wstring tag = std::wstring(L"[") + kFileHashesTag + L"]" + lineEnd;
  for (const auto& line : lines)
    tag += FromUtf8(EncodeHexDigits(line.digest.data(), line.digest.size())) + L"  " + line.name + lineEnd;
  return tag;
}

// The bytes to replace: an existing tag of that name up to the next header, or nothing just in
// front of the "[End]" header. False when neither is there.
bool PlaceOfTag(const CRawUnits& raw, const std::wstring& tag, std::size_t& from, std::size_t& to,
                bool& needsLineEnd) {
  const CKeptUnits kept = KeptUnits(raw);
  std::u32string header = U"[";
  for (const wchar_t c : AsciiUpper(tag)) header.push_back(static_cast<char32_t>(c));
  header += U"]";
  std::size_t at = kept.upper.find(header);
  if (at != std::u32string::npos) {
    const std::size_t next = kept.upper.find(U'[', at + header.size());
    from = raw.ByteOffset(kept.positions[at]);
    to = raw.ByteOffset(next == std::u32string::npos ? raw.Count() : kept.positions[next]);
  } else {
    at = kept.upper.find(U"[END]");
    if (at == std::u32string::npos) return false;
    from = to = raw.ByteOffset(kept.positions[at]);
  }
  needsLineEnd = kept.positions[at] > 0 && raw.At(kept.positions[at] - 1) != '\n';
  return true;
}

// The edited text must list the same files and carry exactly the hashes computed.
bool ReadsBack(const std::string& bytes, const std::vector<CListedFile>& files, const std::vector<CHashLine>& lines) {
  std::vector<CListedFile> after;
  std::optional<CFileHashes> hashes;
  if (!ReadListedFiles(bytes, after, &hashes) || after != files || !hashes || !hashes->MalformedLines().empty()) {
    return false;
  }
  return std::all_of(lines.begin(), lines.end(),
                     [&hashes](const CHashLine& line) { return hashes->For(line.name) == line.digest; });
}

// plain with the tag's text (made for the file's line ends) in place of the tag, or in front of
// "[End]"; false with a reason when there is no "[End]".
template <typename MakeText>
bool PutTag(const std::string& plain, const std::wstring& tag, MakeText makeText, std::string& edited,
            std::string& error) {
  const CRawUnits raw(plain);
  std::size_t from = 0, to = 0;
  bool needsLineEnd = false;
  if (!PlaceOfTag(raw, tag, from, to, needsLineEnd)) {
    error = "no \"[End]\" header to put \"" + ToUtf8(tag) + "\" in front of";
    return false;
  }
  const std::wstring lineEnd = LineEndOf(raw);
  edited = plain.substr(0, from) + Encode((needsLineEnd ? lineEnd : L"") + makeText(lineEnd), raw.IsUtf16()) +
           plain.substr(to);
  return true;
}

}  // namespace

bool SetDescriptionTag(const std::string& plain, const std::wstring& tag, const std::wstring& value,
                       std::string& edited, std::string& error) {
  std::vector<CListedFile> before, after;
  if (!ReadListedFiles(plain, before)) {
    error = "the description does not load as Setup reads it (see eiftool check)";
    return false;
  }
  std::string text;
  if (!PutTag(plain, tag, [&](const std::wstring& lineEnd) { return L"[" + tag + L"]" + lineEnd + value + lineEnd; },
              text, error)) {
    return false;
  }
  CSetupDescription description;
  description.SetMissingTagHandler([](const std::wstring&) {});
  const bool loads = description.LoadText(DecodeDescriptionBytes(ByteBuffer(text.begin(), text.end()), text.size()));
  if (!loads || !ReadListedFiles(text, after) || after != before || description.GetValue(tag) != value) {
    error = "\"" + ToUtf8(tag) + "\" cannot be written so that Setup reads back \"" + ToUtf8(value) +
            "\" (placeholders or comments around it, or marks a description gives a meaning); write it by hand";
    return false;
  }
  edited = std::move(text);
  return true;
}

bool AddFileHashes(const std::string& plain, const std::wstring& folder, std::string& withHashes, std::string& error) {
  std::vector<CListedFile> files;
  if (!ReadListedFiles(plain, files)) {
    error = "the description does not load as Setup reads it (see eiftool check)";
    return false;
  }
  if (files.empty()) {
    error = "\"Files to download\" lists no file; there is nothing to hash";
    return false;
  }
  std::vector<CHashLine> lines;
  if (!HashListedFiles(files, folder, lines, error)) return false;
  std::string edited;
  if (!PutTag(plain, kFileHashesTag, [&lines](const std::wstring& lineEnd) { return TagText(lines, lineEnd); }, edited,
              error)) {
    return false;
  }
  if (!ReadsBack(edited, files, lines)) {
    error =
        "\"File Hashes\" cannot be placed so that Setup reads it back (placeholders or comments around "
        "\"[End]\"); write the tag by hand";
    return false;
  }
  withHashes = std::move(edited);
  return true;
}
