// The support log (see support_log.h).
#include "system/support_log.h"

#include <string_view>

#include "system/text.h"

namespace {

// What a log viewer or a terminal may take for the end of a line or a command: the C0 and C1
// controls (NEL, U+0085, among them), DEL, and Unicode's line and paragraph separators.
bool BreaksLine(wchar_t c) { return c < L' ' || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029; }

}  // namespace

bool CSupportLog::Open(const std::wstring& path) {
  m_file.Close();
  // Made empty first when missing, then always appended to, which leaves it readable meanwhile.
  if (!m_file.Open(path, CFile::Mode::Append)) {
    if (!m_file.Open(path, CFile::Mode::CreateWrite)) return false;
    m_file.Close();
    if (!m_file.Open(path, CFile::Mode::Append)) return false;
  }
  m_openedTick = m_clock.TickCount();
  return true;
}

bool CSupportLog::IsOpen() const { return m_file.IsOpen(); }

void CSupportLog::Write(const std::wstring& text) {
  if (!m_file.IsOpen()) return;
  const std::uint32_t elapsed = m_clock.TickCount() - m_openedTick;
  std::wstring line = FormatUtcTime(m_clock.UtcSeconds()) + L" +" + DecimalText(elapsed / 1000) + L".";
  AppendPadded(line, elapsed % 1000, 3);
  line += L"s ";
  for (const wchar_t c : text) line += BreaksLine(c) ? L' ' : c;
  line += L'\n';
  const std::string bytes = ToUtf8(line);
  m_file.Write(bytes.data(), bytes.size());
}

namespace {

// Where the host part of a URL begins: after "scheme://" when the text starts with a scheme
// (a letter, then letters, digits, "+", "-" or "."), else at the start. A "://" further on
// (in a password, or in a query of a value without a scheme) is not a scheme.
std::size_t AuthorityStart(std::wstring_view url) {
  const std::size_t mark = url.find(L"://");
  if (mark == std::wstring_view::npos || mark == 0) return 0;
  const auto isLetter = [](wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); };
  if (!isLetter(url[0])) return 0;
  for (const wchar_t c : url.substr(0, mark)) {
    if (!isLetter(c) && !(c >= L'0' && c <= L'9') && c != L'+' && c != L'-' && c != L'.') return 0;
  }
  return mark + 3;
}

// The first ":" (or "%3A", a colon escaped by whoever wrote the value): where a password may
// begin.
std::size_t FirstColon(std::wstring_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L':') return i;
    if (text[i] == L'%' && i + 2 < text.size() && text[i + 1] == L'3' && (text[i + 2] == L'A' || text[i + 2] == L'a')) {
      return i;
    }
  }
  return std::wstring_view::npos;
}

}  // namespace

// A password typed into a proxy variable or a description is often not escaped, so it may
// hold "/", "\", "?", "#", "@" or even "://", and no parser can tell where it was meant to
// end. So the rule fails closed: when a ":" follows the host's start and an "@" follows that
// ":", everything from the host's start up to the last "@" of the whole text goes, even
// when it was a host with a port and a path with an "@" in it ("http://host:8080/a@b" shows
// as "http://b"). Without such a ":" there is no password, only perhaps a user name, and the
// host part ends where a client ends it, at the first "/", "\" (WinINet's "/"), "?" or "#":
// "http://token@host/" shows as "http://host/" while "http://host/a@b" stays as it is. A
// text without an "@" is never changed.
std::wstring WithoutCredentials(const std::wstring& url) {
  const std::size_t start = AuthorityStart(url);
  const std::wstring_view rest = std::wstring_view(url).substr(start);
  std::size_t at = rest.rfind(L'@');
  if (at == std::wstring_view::npos) return url;
  if (FirstColon(rest) > at) {
    at = rest.substr(0, rest.find_first_of(L"/\\?#")).rfind(L'@');
    if (at == std::wstring_view::npos) return url;
  }
  return url.substr(0, start) + std::wstring(rest.substr(at + 1));
}
