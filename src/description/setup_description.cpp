// Loading a setup description: reading or decrypting the file, decoding its text, removing
// comments, expanding placeholders and checking the end marker.
#include "description/setup_description.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "description/eif_decrypt.h"
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

std::wstring DecodeDescriptionBytes(const ByteBuffer& buffer) {
  const std::string_view bytes(reinterpret_cast<const char*>(buffer.data()), buffer.size());
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') return FromUtf16Le(bytes.substr(2));
  return DecodeNarrowText(bytes.substr(0, bytes.find('\0')));
}

CSetupDescription::CSetupDescription()
    : CSetupDescription(std::string(GetBuiltInDescriptionKey()), std::wstring(GetBuiltInEifSignature())) {}

CSetupDescription::CSetupDescription(std::string key, std::wstring signature)
    : m_key(std::move(key)), m_signature(std::move(signature)) {}

bool CSetupDescription::Load(const std::wstring& name) {
  const std::wstring path = IsAbsoluteName(name) ? name : GetProgramFolder() + name;
  std::optional<ByteBuffer> buffer;
  std::size_t size = 0;
  if (IsPlainDescriptionName(name)) {
    ReadPlainFile(path, buffer, size);
  } else {
    DecryptEifFile(path, buffer, size, m_key, m_signature);
  }
  if (!buffer) return false;
  std::wstring text = DecodeDescriptionBytes(*buffer);
  buffer.reset();
  return LoadText(std::move(text));
}

bool CSetupDescription::LoadText(std::wstring text) {
  m_text = std::move(text);
  StripComments();
  if (!ExpandPlaceholders()) return false;
  return GetValue(kEndTag) == kEndTag;
}

void CSetupDescription::StripComments() {
  auto pos = m_text.find(L"//");
  while (pos != std::wstring::npos) {
    auto end = m_text.find(L'\n', pos + 1);
    if (end == std::wstring::npos) end = m_text.size();
    m_text.erase(pos, end - pos);
    pos = m_text.find(L"//", pos);
  }
}

// The search resumes at the start of each inserted text, so placeholders inside a tag's value
// are expanded in turn. A name met again while its own inserted text is still being scanned
// refers to itself: such a description is refused instead of growing without end.
bool CSetupDescription::ExpandPlaceholders() {
  std::vector<CActiveExpansion> active;
  const std::size_t maxLength = m_text.size() + kMaxPlaceholderGrowth;
  int replacements = 0;
  auto f = m_text.find(L'$');
  while (f != std::wstring::npos) {
    const auto h = m_text.find(L'$', f + 1);
    if (h == std::wstring::npos) break;
    // Only a placeholder that lies wholly inside an inserted text is nested in it.
    while (!active.empty() && h >= active.back().end) active.pop_back();
    const std::wstring name = m_text.substr(f + 1, h - f - 1);
    for (const auto& outer : active) {
      if (outer.name == name) return false;
    }
    const std::wstring replacement = ReplacementFor(name);
    const std::size_t removed = h - f + 1;
    if (++replacements > kMaxPlaceholderReplacements || m_text.size() - removed + replacement.size() > maxLength) {
      return false;
    }
    m_text.replace(f, removed, replacement);
    for (auto& outer : active) outer.end = outer.end - removed + replacement.size();
    active.push_back({name, f + replacement.size()});
    f = m_text.find(L'$', f);
  }
  return true;
}

std::wstring CSetupDescription::ReplacementFor(const std::wstring& name) const {
  if (auto folder = FolderPlaceholder(name)) return std::move(*folder);
  return GetValue(name);
}
