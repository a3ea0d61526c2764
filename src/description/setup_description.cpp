// Loading a setup description: reading or decrypting the file, decoding its text, removing
// comments, expanding placeholders and checking the end marker.
#include "description/setup_description.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "description/description_signature.h"
#include "description/eif_decrypt.h"
#include "description/expanding_text.h"
#include "system/file.h"
#include "system/folders.h"
#include "system/path.h"
#include "system/program_folder.h"
#include "system/text.h"
#include "websetup_config.h"

namespace {

const wchar_t kPlainSuffix[] = L".ini";
const wchar_t kEndTag[] = L"End";

// Windows: a drive letter and colon; Linux: a path from the root.
bool IsAbsoluteName(const std::wstring& name) {
  if (kIsWindows) return name.size() > 1 && name[1] == L':';
  return !name.empty() && name[0] == L'/';
}

// The folder placeholders; names compare case-sensitively, and a tag of the same name is
// never consulted for them.
std::optional<std::wstring> FolderPlaceholder(const std::wstring& name) {
  if (name == L"Program Files Folder") return GetProgramFilesFolder();
  if (name == L"Temp Folder") return GetTempFolder();
  if (name == L"Desktop Folder") return GetDesktopFolder();
  if (name == L"Startmenu Folder") return GetStartMenuFolder();
  if (name == L"Application Path") return StripTrailingSeparator(GetProgramFolder());
  return std::nullopt;
}

// A placeholder whose inserted text is still being scanned: its name and where that text ends.
struct CActiveExpansion {
  std::wstring name;
  std::size_t end;
};

}  // namespace

bool IsPlainDescriptionName(const std::wstring& name) {
  const std::wstring_view suffix(kPlainSuffix);
  return name.size() >= suffix.size() && std::wstring_view(name).substr(name.size() - suffix.size()) == suffix;
}

std::wstring DecodeDescriptionBytes(const ByteBuffer& buffer, std::size_t length) {
  const std::string_view bytes(reinterpret_cast<const char*>(buffer.data()), std::min(length, buffer.size()));
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    // The zero bytes behind the content must not complete an odd last byte into a code unit.
    const std::size_t units = (bytes.size() - 2) / 2;
    return FromUtf16Le(bytes.substr(2, units * 2));
  }
  return DecodeNarrowText(bytes.substr(0, bytes.find('\0')));
}

CSetupDescription::CSetupDescription()
    : CSetupDescription(std::string(GetBuiltInDescriptionKey()), std::wstring(GetBuiltInEifSignature())) {}

CSetupDescription::CSetupDescription(std::string key, std::wstring signature)
    : m_key(std::move(key)), m_signature(std::move(signature)) {}

bool CSetupDescription::Load(const std::wstring& name) {
  const std::wstring path = IsAbsoluteName(name) ? name : GetProgramFolder() + name;
  const bool plain = IsPlainDescriptionName(name);
  std::optional<ByteBuffer> file;
  try {
    file = ReadWholeFile(path, kMaxEifFileBytes, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!file) return false;
  // The bytes checked are the bytes used: the file is read once, and nothing of it reaches the
  // decryptor or the parser before its signature has been found good.
  if (!m_signingKey.empty() && !HasValidSignatureFile(path, *file, m_signingKey)) return false;
  std::optional<ByteBuffer> buffer;
  std::size_t size = 0;
  if (plain) {
    size = file->size();
    buffer = std::move(file);
  } else {
    DecryptEifBytes(*file, buffer, size, m_key, m_signature);
    file.reset();
  }
  if (!buffer) return false;
  std::wstring text = DecodeDescriptionBytes(*buffer, size);
  buffer.reset();
  return LoadText(std::move(text));
}

bool CSetupDescription::LoadText(std::wstring text) {
  m_text = std::move(text);
  m_lookups.clear();
  StripComments();
  const bool expanded = ExpandPlaceholders();
  m_lookups.clear();
  if (!expanded) return false;
  return GetValue(kEndTag) == kEndTag;
}

// One pass: each "//" drops everything up to its line feed, which stays.
void CSetupDescription::StripComments() {
  std::wstring kept;
  kept.reserve(m_text.size());
  for (std::size_t pos = 0; pos < m_text.size();) {
    if (m_text[pos] == L'/' && pos + 1 < m_text.size() && m_text[pos + 1] == L'/') {
      pos = m_text.find(L'\n', pos + 1);
      if (pos == std::wstring::npos) break;
      continue;
    }
    kept.push_back(m_text[pos++]);
  }
  m_text = std::move(kept);
}

// The search resumes at the start of each inserted text, so placeholders inside a tag's value
// are expanded in turn. A name met again while its own inserted text is still being scanned
// refers to itself: such a description is refused instead of growing without end. On refusal
// the text stays as far as it was expanded.
bool CSetupDescription::ExpandPlaceholders() {
  CExpandingText text(m_text);
  m_text.clear();
  std::vector<CActiveExpansion> active;
  const std::size_t maxLength = text.Size() + kMaxPlaceholderGrowth;
  int replacements = 0;
  bool refused = false;
  std::wstring name;
  while (!refused && text.AdvanceToDollar() && text.NameAtScan(name)) {
    const std::size_t f = text.ScanPosition();
    const std::size_t h = f + name.size() + 1;
    // Only a placeholder that lies wholly inside an inserted text is nested in it.
    while (!active.empty() && h >= active.back().end) active.pop_back();
    refused = std::any_of(active.begin(), active.end(), [&name](const auto& outer) { return outer.name == name; });
    if (refused) break;
    const std::wstring replacement = ReplacementFor(text, name);
    const std::size_t removed = h - f + 1;
    refused = ++replacements > kMaxPlaceholderReplacements || text.Size() - removed + replacement.size() > maxLength;
    if (refused) break;
    text.Replace(removed, replacement);
    for (auto& outer : active) outer.end = outer.end - removed + replacement.size();
    active.push_back({name, f + replacement.size()});
  }
  m_text = text.Take();
  return !refused;
}

std::wstring CSetupDescription::ReplacementFor(CExpandingText& text, const std::wstring& name) const {
  if (auto folder = FolderPlaceholder(name)) return std::move(*folder);
  std::wstring item;
  if (!text.FirstItem(name, item)) ReportMissingTag(name);
  return item;
}
