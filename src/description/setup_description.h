// CSetupDescription: the one object through which a run reads its settings — the tagged text
// loaded from an EIF (or ".ini") file, its lookups and its two lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "description/eif_decrypt.h"

class CExpandingText;

// Expansion stops (and Load fails) beyond these, so that placeholders that multiply each other
// cannot hang the run or exhaust memory. Real descriptions use a few dozen placeholders and
// grow by a few kilobytes.
inline constexpr int kMaxPlaceholderReplacements = 4096;
inline constexpr std::size_t kMaxPlaceholderGrowth = 1u << 20;

// The initial setup description's file name, on the hosts, beside Setup and in the setup temp
// folder.
inline constexpr wchar_t kInitialSetupFileName[] = L"SetupInitial.eif";

class CSetupDescription {
 public:
  // Decrypts with the key and signature built into the program.
  CSetupDescription();
  // Decrypts with another key (hex of PKCS #8 DER) and signature, as the vendor tool does.
  CSetupDescription(std::string key, std::wstring signature);
  virtual ~CSetupDescription() = default;

  // From now on Load accepts a file only with a valid "<file>.sig" beside it: the Ed25519
  // signature, by the private half of publicKey (32 bytes), of the file's exact bytes. Empty
  // asks for none.
  void RequireSignature(std::string publicKey) { m_signingKey = std::move(publicKey); }

  // Reads name (".ini" plain, anything else decrypted; relative to the program folder unless
  // absolute), then LoadText. False when nothing could be read (the earlier text stays), when
  // "End" is not exactly "End", or when placeholders refer to themselves.
  bool Load(const std::wstring& name);
  // Replaces the text, removes comments, expands placeholders and checks the end marker.
  bool LoadText(std::wstring text);
  bool IsLoaded() const { return !m_text.empty(); }
  const std::wstring& Text() const { return m_text; }

  // Position behind the first "[name]" header, ASCII case ignored; kTagNotFound (-1) if none.
  std::ptrdiff_t FindTag(const std::wstring& name) const;
  // Item index of the tag's value; a missing tag shows "Tag '<name>' not found." (caption
  // "Ini Parser") on every call and yields the empty text.
  std::wstring GetItem(const std::wstring& name, int index) const;
  std::wstring GetValue(const std::wstring& name) const;

  // "Files to download": remote part "->" local name. True when both parts are non-empty.
  bool GetFirstFile(std::wstring& remote, std::wstring& local);
  bool GetNextFile(std::wstring& remote, std::wstring& local);
  // "Download Sites": one host name per line. True when the site is non-empty.
  bool GetFirstSite(std::wstring& site);
  bool GetNextSite(std::wstring& site);

  // Replaces the missing-tag message box, for callers that report missing tags themselves
  // (the vendor tool's check). Null restores the message box.
  using MissingTagHandler = std::function<void(const std::wstring& name)>;
  void SetMissingTagHandler(MissingTagHandler handler) { m_onMissingTag = std::move(handler); }

 private:
  void StripComments();
  bool ExpandPlaceholders();
  std::wstring ReplacementFor(CExpandingText& text, const std::wstring& name) const;
  void ReportMissingTag(const std::wstring& name) const;
  // A tag's header position and the (start, length) of each item of its trimmed value.
  struct CTagLookup {
    std::ptrdiff_t position;
    std::vector<std::pair<std::size_t, std::size_t>> items;
  };
  const CTagLookup& Lookup(const std::wstring& name) const;

  std::wstring m_text;
  std::int32_t m_fileCursor = 0;
  std::int32_t m_siteCursor = 0;
  std::string m_key;
  std::wstring m_signature;
  std::string m_signingKey;
  MissingTagHandler m_onMissingTag;
  // Lookups of the loaded text by upper-cased name, so that walking a list of n entries reads
  // the text once, not n times; emptied whenever the text changes.
  mutable std::unordered_map<std::wstring, CTagLookup> m_lookups;
};

// True when name ends in ".ini" exactly (case-sensitive): such a file is read unencrypted.
bool IsPlainDescriptionName(const std::wstring& name);

// The text of a read or decrypted description whose content is the first length bytes of
// buffer: FF FE starts UTF-16LE text up to its first zero code unit (an odd last byte is no
// code unit); anything else is 8-bit text up to its first zero byte.
std::wstring DecodeDescriptionBytes(const ByteBuffer& buffer, std::size_t length);
