// The text under placeholder expansion (see expanding_text.h). A header "[NAME]" whose name
// holds no bracket is exactly a "[" whose key (the characters up to the next "[" or "]")
// equals NAME and ends at "]", so such headers are found through hashes of their keys.
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

std::uint64_t KeyHash(const std::wstring& upperHeader) {
  std::uint64_t hash = kHashSeed;
  for (std::size_t i = 1; i + 1 < upperHeader.size(); ++i) hash = HashStep(hash, upperHeader[i]);
  return hash;
}

}  // namespace

CExpandingText::CExpandingText(const std::wstring& text)
    : m_rest(text.rbegin(), text.rend()), m_originalSize(text.size()), m_originalLeft(text.size()) {}

wchar_t CExpandingText::At(std::size_t position) const {
  if (position < m_done.size()) return m_done[position];
  return m_rest[m_rest.size() - 1 - (position - m_done.size())];
}

void CExpandingText::AppendDone(wchar_t c) {
  const std::size_t position = m_done.size();
  m_done.push_back(c);
  if (c == L'[') {
    m_doneOpen = position;
    m_doneHash = kHashSeed;
  } else if (c == L']' && m_doneOpen != kNone) {
    const std::size_t length = position - m_doneOpen + 1;
    bool known = false;
    const auto [first, last] = m_doneHeaders.equal_range(m_doneHash);
    for (auto it = first; it != last && !known; ++it) {
      // An earlier header of the same key (a shorter or longer one compares unequal).
      const auto earlier = m_done.begin() + static_cast<std::ptrdiff_t>(it->second);
      known = std::equal(m_done.begin() + static_cast<std::ptrdiff_t>(m_doneOpen), m_done.end(), earlier,
                         earlier + static_cast<std::ptrdiff_t>(length),
                         [](wchar_t a, wchar_t b) { return Upper(a) == Upper(b); });
    }
    if (!known) m_doneHeaders.emplace(m_doneHash, m_doneOpen);
    m_doneOpen = kNone;
  } else if (m_doneOpen != kNone) {
    m_doneHash = HashStep(m_doneHash, c);
  }
}

bool CExpandingText::AdvanceToDollar() {
  while (!m_rest.empty()) {
    const wchar_t c = m_rest.back();
    if (c == L'$') return true;
    m_rest.pop_back();
    m_originalLeft = std::min(m_originalLeft, m_rest.size());
    AppendDone(c);
  }
  return false;
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
  m_rest.append(replacement.rbegin(), replacement.rend());
}

std::wstring CExpandingText::Take() const { return m_done + std::wstring(m_rest.rbegin(), m_rest.rend()); }

void CExpandingText::BuildOriginalIndex() {
  m_originalIndexed = true;
  std::size_t open = kNone;
  std::uint64_t hash = kHashSeed;
  for (std::size_t coordinate = m_originalSize - m_originalLeft; coordinate < m_originalSize; ++coordinate) {
    const wchar_t c = m_rest[m_originalSize - 1 - coordinate];
    if (c == L'[') {
      open = coordinate;
      hash = kHashSeed;
    } else if (c == L']' && open != kNone) {
      m_originalHeaders.emplace_back(hash, open);
      open = kNone;
    } else if (open != kNone) {
      hash = HashStep(hash, c);
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

bool CExpandingText::FindInDone(const std::wstring& upperHeader, bool bracketFree, CHit& hit) const {
  if (!bracketFree) {
    const auto at = std::search(m_done.begin(), m_done.end(), upperHeader.begin(), upperHeader.end(), SameNoCase);
    if (at == m_done.end()) return false;
    const auto open = static_cast<std::size_t>(at - m_done.begin());
    hit = {CPart::kDone, open, open};
    return true;
  }
  std::size_t best = kNone;
  const auto [first, last] = m_doneHeaders.equal_range(KeyHash(upperHeader));
  for (auto it = first; it != last; ++it) {
    if (it->second < best && MatchesAt(it->second, upperHeader)) best = it->second;
  }
  if (best == kNone) return false;
  hit = {CPart::kDone, best, best};
  return true;
}

// Headers that begin in the finished part or in inserted text not yet scanned, and end
// behind it: the window is the inserted text and a header's length on either side.
bool CExpandingText::FindAtBoundary(const std::wstring& upperHeader, CHit& hit) const {
  const std::size_t left = std::min(m_done.size(), upperHeader.size() - 1);
  const std::size_t inserted = m_rest.size() - m_originalLeft;
  const std::size_t right = std::min(m_originalLeft, upperHeader.size() - 1);
  const std::size_t from = m_done.size() - left;
  std::wstring window;
  window.reserve(left + inserted + right);
  for (std::size_t i = 0; i < left + inserted + right; ++i) window.push_back(At(from + i));
  const auto at = std::search(window.begin(), window.end(), upperHeader.begin(), upperHeader.end(), SameNoCase);
  const auto offset = static_cast<std::size_t>(at - window.begin());
  if (at == window.end() || offset >= left + inserted) return false;
  hit = {CPart::kBoundary, from + offset, 0};
  return true;
}

bool CExpandingText::FindInOriginal(const std::wstring& upperHeader, bool bracketFree, CHit& hit) {
  const std::size_t start = m_originalSize - m_originalLeft;
  if (!bracketFree) {
    const auto first = m_rest.rbegin() + static_cast<std::ptrdiff_t>(m_rest.size() - m_originalLeft);
    const auto at = std::search(first, m_rest.rend(), upperHeader.begin(), upperHeader.end(), SameNoCase);
    if (at == m_rest.rend()) return false;
    const auto offset = static_cast<std::size_t>(at - first);
    hit = {CPart::kOriginal, OriginalStart() + offset, start + offset};
    return true;
  }
  if (!m_originalIndexed) BuildOriginalIndex();
  const std::uint64_t hash = KeyHash(upperHeader);
  auto it = std::lower_bound(m_originalHeaders.begin(), m_originalHeaders.end(), std::make_pair(hash, start));
  for (; it != m_originalHeaders.end() && it->first == hash; ++it) {
    const std::size_t position = OriginalStart() + (it->second - start);
    if (MatchesAt(position, upperHeader)) {
      hit = {CPart::kOriginal, position, it->second};
      return true;
    }
  }
  return false;
}

bool CExpandingText::Find(const std::wstring& upperHeader, bool bracketFree, CHit& hit) {
  return FindInDone(upperHeader, bracketFree, hit) || FindAtBoundary(upperHeader, hit) ||
         FindInOriginal(upperHeader, bracketFree, hit);
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
