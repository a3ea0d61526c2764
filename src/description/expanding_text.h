// The description text while its placeholders are expanded: edits happen only at the scan
// point, so the text is kept as a finished part and a rest held back to front, with indexes
// of their headers, and each tag lookup costs the length of the name, not of the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class CExpandingText {
 public:
  explicit CExpandingText(const std::wstring& text);

  std::size_t Size() const { return m_done.size() + m_rest.size(); }
  // Position of the scan point: everything before it is finished.
  std::size_t ScanPosition() const { return m_done.size(); }
  // Moves the scan point to the next "$"; false (at the end) when there is none.
  bool AdvanceToDollar();
  // The characters between the "$" at the scan point and the next "$"; false when unpaired.
  bool NameAtScan(std::wstring& name) const;
  // Replaces the first removed characters behind the scan point with replacement, which the
  // scan then reads first.
  void Replace(std::size_t removed, const std::wstring& replacement);
  // Item 0 of the trimmed value of the first header of name, as the tag lookup gives it on
  // the whole text; false when no header matches.
  bool FirstItem(const std::wstring& name, std::wstring& item);
  std::wstring Take() const;

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // Where a header was found: its "[" and the part of the text it lies in.
  enum class CPart { kDone, kBoundary, kInserted, kOriginal };
  struct CHit {
    CPart part;
    std::size_t open;    // position of "[" in the whole text
    std::size_t anchor;  // a position that stays valid while the header's value is unchanged
  };
  // Follows a text character by character: every "[" has a key, the characters up to the
  // next bracket, and is indexed by the hash of that key and bracket.
  struct CKeyScanner {
    std::size_t open = kNone;
    std::uint64_t hash = 0;
    // True when c ends the key of the "[" at keyOpen, whose hash is keyHash.
    bool Take(wchar_t c, std::size_t position, std::uint64_t& keyHash, std::size_t& keyOpen);
  };
  // A "[" in inserted text not yet scanned, by its index in m_rest (stable while it stays).
  struct CInsertedOpen {
    std::uint64_t hash;
    std::size_t rest;
    bool indexed;  // false when its key runs past the inserted text, so it has no hash yet
  };

  wchar_t At(std::size_t position) const;
  std::size_t OriginalStart() const { return m_done.size() + (m_rest.size() - m_originalLeft); }
  void AppendDone(wchar_t c);
  void BuildOriginalIndex();
  void IndexInserted(const std::wstring& replacement);
  void ForgetConsumed();
  bool Find(const std::wstring& upperHeader, bool bracketFree, CHit& hit);
  bool FindInDone(const std::wstring& upperHeader, bool bracketFree, CHit& hit);
  bool FindAtBoundary(const std::wstring& upperHeader, CHit& hit) const;
  bool FindInInserted(const std::wstring& upperHeader, CHit& hit) const;
  bool FindInOriginal(const std::wstring& upperHeader, CHit& hit);
  bool MatchesAt(std::size_t position, const std::wstring& upperHeader) const;
  std::wstring ItemOfValueAt(std::size_t position, std::size_t& reach) const;
  bool InsertedItem(const CHit& hit, std::size_t headerSize, std::wstring& item);

  std::wstring m_done;
  // The rest of the text, last character first: the scan point is its end.
  std::wstring m_rest;
  std::size_t m_originalSize;
  // m_rest[0, m_originalLeft) is the untouched tail of the text Load gave, in its own
  // coordinates a header never moves, so its index is built once.
  std::size_t m_originalLeft;
  bool m_originalIndexed = false;
  std::vector<std::pair<std::uint64_t, std::size_t>> m_originalHeaders;  // (key hash, "[")
  // First finished header of each key hash (a bracket-free key); later ones are never seen.
  std::unordered_multimap<std::uint64_t, std::size_t> m_doneHeaders;
  // Every finished "[" by key hash, in text order, for names that hold a bracket.
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> m_doneOpens;
  CKeyScanner m_doneKeys;
  // Per header: candidates before this one (finished, or in the untouched tail) failed to
  // match for good, so no lookup looks at them again.
  std::unordered_map<std::wstring, std::size_t> m_doneCursors;
  std::unordered_map<std::wstring, std::size_t> m_originalCursors;
  // Inserted text not yet scanned: its "[" in m_rest order, and the indexed ones by key hash.
  std::vector<CInsertedOpen> m_insertedOpens;
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> m_insertedByKey;
  std::vector<std::size_t> m_insertedUnindexed;
  // Items of values that can no longer change, by the anchor of their header; inserted ones
  // by ("[" in m_rest, header length) while that "[" stays.
  std::unordered_map<std::size_t, std::wstring> m_doneItems;
  std::unordered_map<std::size_t, std::wstring> m_originalItems;
  std::map<std::pair<std::size_t, std::size_t>, std::wstring> m_insertedItems;
};
