// Payload hashes: the optional tag "File Hashes" of a description, one line per listed file as
// sha256sum prints it, and the SHA-256 of a whole file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/sha256_stream.h"

class CSetupDescription;

inline constexpr wchar_t kFileHashesTag[] = L"File Hashes";

// One line "<64 hex digits>  <name>" or "<64 hex digits> *<name>" (sha256sum's text and
// binary forms); false for anything else, a name with its escape prefix "\" included.
bool ParseFileHashLine(std::wstring_view line, CSha256Digest& digest, std::wstring& name);

// The hashes a description lists for its files.
class CFileHashes {
 public:
  // None for a description without the tag: its files are taken as they arrive.
  static std::optional<CFileHashes> From(const CSetupDescription& description);

  // The digest for a local name, compared exactly; none when no well-formed line names it, or
  // when lines for it disagree (a vendor who lists hashes lists one for every file).
  std::optional<CSha256Digest> For(const std::wstring& localName) const;
  // The items of the tag that are not well-formed lines, for the vendor tool's check.
  const std::vector<std::wstring>& MalformedLines() const { return m_malformed; }

 private:
  std::map<std::wstring, std::optional<CSha256Digest>> m_digests;
  std::vector<std::wstring> m_malformed;
};

// The digest of a whole file; none when it cannot be read.
std::optional<CSha256Digest> Sha256OfFile(const std::wstring& path);
