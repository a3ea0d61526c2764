// The "File Hashes" lines of a description, and the SHA-256 of a whole file.
#include "description/file_hashes.h"

#include "description/setup_description.h"
#include "description/tag_parser.h"
#include "system/file.h"
#include "system/text.h"

namespace {
constexpr std::size_t kHexDigits = 2 * sizeof(CSha256Digest);
// Bytes read at a time when a whole file is hashed.
constexpr std::size_t kFileHashChunkBytes = 64 * 1024;
}  // namespace

bool ParseFileHashLine(std::wstring_view line, CSha256Digest& digest, std::wstring& name) {
  // The digest, a space, then a space (text) or "*" (binary), then at least one character.
  if (line.size() < kHexDigits + 3 || line[kHexDigits] != L' ') return false;
  const wchar_t mode = line[kHexDigits + 1];
  if (mode != L' ' && mode != L'*') return false;
  if (!DecodeHexDigits(line.substr(0, kHexDigits), digest.data(), digest.size())) return false;
  name = std::wstring(line.substr(kHexDigits + 2));
  // sha256sum marks a name it had to escape with a leading backslash; no plain name needs it.
  return !name.empty() && name[0] != L'\\';
}

std::optional<CFileHashes> CFileHashes::From(const CSetupDescription& description) {
  // Looked for without GetItem, whose missing-tag message would reach every older description.
  if (description.FindTag(kFileHashesTag) == kTagNotFound) return std::nullopt;
  CFileHashes hashes;
  for (int index = 0;; ++index) {
    const std::wstring item = TrimDescriptionSpace(description.GetItem(kFileHashesTag, index));
    if (item.empty()) break;
    CSha256Digest digest{};
    std::wstring name;
    if (!ParseFileHashLine(item, digest, name)) {
      hashes.m_malformed.push_back(item);
      continue;
    }
    const auto [at, added] = hashes.m_digests.emplace(name, digest);
    if (!added && at->second != digest) at->second.reset();
  }
  return hashes;
}

std::optional<CSha256Digest> CFileHashes::For(const std::wstring& localName) const {
  const auto at = m_digests.find(localName);
  return at != m_digests.end() ? at->second : std::nullopt;
}

std::optional<CSha256Digest> Sha256OfFile(const std::wstring& path) {
  CFile file;
  if (!file.Open(path, CFile::Mode::Read)) return std::nullopt;
  CSha256Stream hash;
  std::vector<char> buffer(kFileHashChunkBytes);
  for (;;) {
    const std::int64_t got = file.Read(buffer.data(), buffer.size());
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    hash.Update(buffer.data(), static_cast<std::size_t>(got));
  }
  return hash.Final();
}
