// The support log (see support_log.h).
#include "system/support_log.h"

#include <algorithm>
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

std::wstring WithoutCredentials(const std::wstring& url) {
  const std::size_t scheme = url.find(L"://");
  const std::size_t hostStart = scheme == std::wstring::npos ? 0 : scheme + 3;
  const std::size_t hostEnd = std::min(url.find_first_of(L"/?#", hostStart), url.size());
  const std::size_t at = std::wstring_view(url).substr(hostStart, hostEnd - hostStart).rfind(L'@');
  if (at == std::wstring_view::npos) return url;
  return url.substr(0, hostStart) + url.substr(hostStart + at + 1);
}
