// The text under placeholder expansion (see expanding_text.h). Every "[" has a key: the
// characters up to the next "[" or "]", and that bracket. A header "[NAME]" can only start at
// a "[" whose key is the start of NAME up to its first bracket (all of it and "]" when it has
// none), so headers are found through hashes of keys and then compared in full.
#include "description/expanding_text.h"

#include <algorithm>

#include "description/tag_parser.h"

namespace {

constexpr std::uint64_t kHashSeed = 14695981039346656037ull;
constexpr std::uint64_t kHashPrime = 1099511628211ull;

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }
bool SameNoCase(wchar_t text, wchar_t upperHeader) { return Upper(text) == upperHeader; }
std::uint64_t HashStep(std::uint64_t hash, wchar_t c) {
  return (hash ^ static_cast<std::uint64_t>(Upper(c))) * kHashPrime;
}

bool IsBracket(wchar_t c) { return c == L'[' || c == L']'; }

// The key a header starts with, as the index holds it.
std::uint64_t KeyHash(const std::wstring& upperHeader) {
  std::uint64_t hash = kHashSeed;
  std::size_t i = 1;
  for (; !IsBracket(upperHeader[i]); ++i) hash = HashStep(hash, upperHeader[i]);
  return HashStep(hash, upperHeader[i]);
}

}  // namespace

CExpandingText::CExpandingText(const std::wstring& text)
    : m_rest(text.rbegin(), text.rend()), m_originalSize(text.size()), m_originalLeft(text.size()) {}

wchar_t CExpandingText::At(std::size_t position) const {
  if (position < m_done.size()) return m_done[position];
  return m_rest[m_rest.size() - 1 - (position - m_done.size())];
}

bool CExpandingText::CKeyScanner::Take(wchar_t c, std::size_t position, std::uint64_t& keyHash, std::size_t& keyOpen) {
  const bool ended = IsBracket(c) && open != kNone;
  if (ended) {
    keyHash = HashStep(hash, c);
    keyOpen = open;
    open = kNone;
  }
  if (c == L'[') {
    open = position;
    hash = kHashSeed;
  } else if (!IsBracket(c) && open != kNone) {
    hash = HashStep(hash, c);
  }
  return ended;
}

void CExpandingText::AppendDone(wchar_t c) {
  const std::size_t position = m_done.size();
  m_done.push_back(c);
  std::uint64_t hash = 0;
  std::size_t open = 0;
  if (!m_doneKeys.Take(c, position, hash, open)) return;
  m_doneOpens[hash].push_back(open);
  if (c != L']') return;
  const std::size_t length = position - open + 1;
  bool known = false;
  const auto [first, last] = m_doneHeaders.equal_range(hash);
  for (auto it = first; it != last && !known; ++it) {
    // An earlier header of the same key (a shorter or longer one compares unequal).
    const auto earlier = m_done.begin() + static_cast<std::ptrdiff_t>(it->second);
    known = std::equal(m_done.begin() + static_cast<std::ptrdiff_t>(open), m_done.end(), earlier,
                       earlier + static_cast<std::ptrdiff_t>(length),
                       [](wchar_t a, wchar_t b) { return Upper(a) == Upper(b); });
  }
  if (!known) m_doneHeaders.emplace(hash, open);
}

bool CExpandingText::AdvanceToDollar() {
  bool found = false;
  while (!m_rest.empty() && !found) {
    const wchar_t c = m_rest.back();
    found = c == L'$';
    if (found) break;
    m_rest.pop_back();
    m_originalLeft = std::min(m_originalLeft, m_rest.size());
    AppendDone(c);
  }
  ForgetConsumed();
  return found;
}

bool CExpandingText::NameAtScan(std::wstring& name) const {
  name.clear();
  if (m_rest.size() < 2) return false;
  const auto closing = m_rest.find_last_of(L'$', m_rest.size() - 2);
  if (closing == std::wstring::npos) return false;
  name.assign(m_rest.rbegin() + 1, m_rest.rend() - static_cast<std::ptrdiff_t>(closing + 1));
  return true;
}

void CExpandingText::Replace(std::size_t removed, const std::wstring& replacement) {
  m_rest.resize(m_rest.size() - removed);
  m_originalLeft = std::min(m_originalLeft, m_rest.size());
  ForgetConsumed();
  IndexInserted(replacement);
  m_rest.append(replacement.rbegin(), replacement.rend());
}

// The "[" of a replacement about to be put in front of the rest. The key of the last one
// may run on into the text behind, so it is compared in full at every lookup instead.
void CExpandingText::IndexInserted(const std::wstring& replacement) {
  const std::size_t top = m_rest.size() + replacement.size() - 1;  // m_rest index of its first character
  CKeyScanner keys;
  std::vector<CInsertedOpen> opens;
  for (std::size_t i = 0; i < replacement.size(); ++i) {
    std::uint64_t hash = 0;
    std::size_t open = 0;
    if (keys.Take(replacement[i], i, hash, open)) opens.push_back({hash, top - open, true});
  }
  if (keys.open != kNone) opens.push_back({0, top - keys.open, false});
  std::sort(opens.begin(), opens.end(), [](const auto& a, const auto& b) { return a.rest < b.rest; });
  for (const auto& open : opens) {
    m_insertedOpens.push_back(open);
    if (open.indexed) {
      m_insertedByKey[open.hash].push_back(open.rest);
    } else {
      m_insertedUnindexed.push_back(open.rest);
    }
  }
}

// Drops what the index knows of inserted text that has been scanned or replaced.
void CExpandingText::ForgetConsumed() {
  while (!m_insertedOpens.empty() && m_insertedOpens.back().rest >= m_rest.size()) {
    const CInsertedOpen& open = m_insertedOpens.back();
    if (open.indexed) {
      auto& list = m_insertedByKey[open.hash];
      list.pop_back();
      if (list.empty()) m_insertedByKey.erase(open.hash);
    } else {
      m_insertedUnindexed.pop_back();
    }
    m_insertedOpens.pop_back();
  }
  m_insertedItems.erase(m_insertedItems.lower_bound({m_rest.size(), 0}), m_insertedItems.end());
}

std::wstring CExpandingText::Take() const { return m_done + std::wstring(m_rest.rbegin(), m_rest.rend()); }

void CExpandingText::BuildOriginalIndex() {
  m_originalIndexed = true;
  CKeyScanner keys;
  for (std::size_t coordinate = m_originalSize - m_originalLeft; coordinate < m_originalSize; ++coordinate) {
    std::uint64_t hash = 0;
    std::size_t open = 0;
    if (keys.Take(m_rest[m_originalSize - 1 - coordinate], coordinate, hash, open)) {
      m_originalHeaders.emplace_back(hash, open);
    }
  }
  std::sort(m_originalHeaders.begin(), m_originalHeaders.end());
}

bool CExpandingText::MatchesAt(std::size_t position, const std::wstring& upperHeader) const {
  if (position + upperHeader.size() > Size()) return false;
  for (std::size_t i = 0; i < upperHeader.size(); ++i) {
    if (!SameNoCase(At(position + i), upperHeader[i])) return false;
  }
  return true;
}

bool CExpandingText::FindInDone(const std::wstring& upperHeader, bool bracketFree, CHit& hit) {
  const std::uint64_t hash = KeyHash(upperHeader);
  if (bracketFree) {
    std::size_t best = kNone;
    const auto [first, last] = m_doneHeaders.equal_range(hash);
    for (auto it = first; it != last; ++it) {
      if (it->second < best && MatchesAt(it->second, upperHeader)) best = it->second;
    }
    if (best == kNone) return false;
    hit = {CPart::kDone, best, best};
    return true;
  }
  const auto found = m_doneOpens.find(hash);
  if (found == m_doneOpens.end()) return false;
  const std::vector<std::size_t>& opens = found->second;
  std::size_t& cursor = m_doneCursors[upperHeader];
  // Only headers wholly inside the finished part; one that reaches behind it may still match.
  for (; cursor < opens.size() && opens[cursor] + upperHeader.size() <= m_done.size(); ++cursor) {
    if (MatchesAt(opens[cursor], upperHeader)) {
      hit = {CPart::kDone, opens[cursor], opens[cursor]};
      return true;
    }
  }
  return false;
}

// Headers that begin in the finished part and end behind it: the window is a header's
// length on either side of the scan point.
bool CExpandingText::FindAtBoundary(const std::wstring& upperHeader, CHit& hit) const {
  const std::size_t left = std::min(m_done.size(), upperHeader.size() - 1);
  const std::size_t right = std::min(m_rest.size(), upperHeader.size() - 1);
  const std::size_t from = m_done.size() - left;
  std::wstring window;
  window.reserve(left + right);
  for (std::size_t i = 0; i < left + right; ++i) window.push_back(At(from + i));
  const auto at = std::search(window.begin(), window.end(), upperHeader.begin(), upperHeader.end(), SameNoCase);
  const auto offset = static_cast<std::size_t>(at - window.begin());
  if (at == window.end() || offset >= left) return false;
  hit = {CPart::kBoundary, from + offset, 0};
  return true;
}

// Headers that begin in inserted text not yet scanned: the first is the one nearest the scan
// point, the highest index in m_rest.
bool CExpandingText::FindInInserted(const std::wstring& upperHeader, CHit& hit) const {
  std::size_t best = kNone;
  auto position = [this](std::size_t rest) { return m_done.size() + (m_rest.size() - 1 - rest); };
  if (const auto found = m_insertedByKey.find(KeyHash(upperHeader)); found != m_insertedByKey.end()) {
    for (auto it = found->second.rbegin(); it != found->second.rend() && best == kNone; ++it) {
      if (MatchesAt(position(*it), upperHeader)) best = *it;
    }
  }
  for (auto it = m_insertedUnindexed.rbegin(); it != m_insertedUnindexed.rend(); ++it) {
    if (best != kNone && *it < best) break;
    if (MatchesAt(position(*it), upperHeader)) {
      best = *it;
      break;
    }
  }
  if (best == kNone) return false;
  hit = {CPart::kInserted, position(best), best};
  return true;
}

bool CExpandingText::FindInOriginal(const std::wstring& upperHeader, CHit& hit) {
  if (!m_originalIndexed) BuildOriginalIndex();
  const std::size_t start = m_originalSize - m_originalLeft;
  std::size_t& cursor = m_originalCursors[upperHeader];
  cursor = std::max(cursor, start);
  const std::uint64_t hash = KeyHash(upperHeader);
  auto it = std::lower_bound(m_originalHeaders.begin(), m_originalHeaders.end(), std::make_pair(hash, cursor));
  // The untouched tail never changes, so a candidate that does not match never will.
  for (; it != m_originalHeaders.end() && it->first == hash; ++it) {
    const std::size_t position = OriginalStart() + (it->second - start);
    if (MatchesAt(position, upperHeader)) {
      hit = {CPart::kOriginal, position, it->second};
      return true;
    }
    cursor = it->second + 1;
  }
  return false;
}

bool CExpandingText::Find(const std::wstring& upperHeader, bool bracketFree, CHit& hit) {
  return FindInDone(upperHeader, bracketFree, hit) || FindAtBoundary(upperHeader, hit) ||
         FindInInserted(upperHeader, hit) || FindInOriginal(upperHeader, hit);
}

// Item 0 of the trimmed value that starts at position; reach is one past the last character
// that decided it (the text's length + 1 when its end did).
std::wstring CExpandingText::ItemOfValueAt(std::size_t position, std::size_t& reach) const {
  const std::size_t size = Size();
  auto skipSpace = [this, size](std::size_t i) {
    while (i < size && At(i) != L'[' && IsDescriptionSpace(At(i))) ++i;
    return i;
  };
  const std::size_t start = skipSpace(position);
  if (start == size || At(start) == L'[') {
    reach = start + 1;
    return {};
  }
  std::size_t end = start;
  while (end < size && At(end) != L'[' && At(end) != L'\n') ++end;
  // The value's own trim reaches into item 0 only when nothing but white space follows it.
  std::size_t decided = end;
  if (end < size && At(end) == L'\n') decided = skipSpace(end);
  const bool trimEnd = decided == size || At(decided) == L'[';
  reach = decided + 1;
  std::size_t last = end;
  if (trimEnd) {
    while (last > start && IsDescriptionSpace(At(last - 1))) --last;
  }
  std::wstring item;
  item.reserve(last - start);
  for (std::size_t i = start; i < last; ++i) item.push_back(At(i));
  return item;
}

bool CExpandingText::FirstItem(const std::wstring& name, std::wstring& item) {
  std::wstring header = L"[" + name + L"]";
  std::transform(header.begin(), header.end(), header.begin(), Upper);
  const bool bracketFree = name.find_first_of(L"[]") == std::wstring::npos;
  CHit hit{};
  if (!Find(header, bracketFree, hit)) return false;
  if (hit.part == CPart::kInserted) return InsertedItem(hit, header.size(), item);
  auto* memo = hit.part == CPart::kDone ? &m_doneItems : hit.part == CPart::kOriginal ? &m_originalItems : nullptr;
  // Headers of different names can share their "[", so values are known by where they start.
  const std::size_t valueAnchor = hit.anchor + header.size();
  if (memo != nullptr) {
    if (const auto known = memo->find(valueAnchor); known != memo->end()) {
      item = known->second;
      return true;
    }
  }
  std::size_t reach = 0;
  item = ItemOfValueAt(hit.open + header.size(), reach);
  // A value read only from finished text, or from the untouched tail, can no longer change.
  if (hit.part == CPart::kOriginal || (hit.part == CPart::kDone && reach <= m_done.size())) {
    (*memo)[valueAnchor] = item;
  }
  return true;
}

// Everything a value in inserted text is read from lies behind its "[", which stays as it is
// until the scan reaches it.
bool CExpandingText::InsertedItem(const CHit& hit, std::size_t headerSize, std::wstring& item) {
  const auto key = std::make_pair(hit.anchor, headerSize);
  if (const auto known = m_insertedItems.find(key); known != m_insertedItems.end()) {
    item = known->second;
    return true;
  }
  std::size_t reach = 0;
  item = ItemOfValueAt(hit.open + headerSize, reach);
  m_insertedItems[key] = item;
  return true;
}
