// Whether a name from a description is a plain file name (see file_name.h).
#include "system/file_name.h"

#include <cstddef>

#include "system/text.h"

namespace {

// The longest name a Windows file system component holds, in UTF-16 code units.
constexpr std::size_t kMaxNameUnits = 255;
// Characters Windows refuses in a name, besides the controls.
constexpr std::wstring_view kForbiddenCharacters = L"/\\:*?\"<>|";

bool IsControlOrBidiCharacter(char32_t c) {
  const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
  // Overrides and isolates make a name read differently from what it is, such as
  // "setup\u202Etxt.exe" shown as an innocent text file.
  const bool bidi = (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
  return control || bidi;
}

// Code units of name in UTF-16: on Linux a wchar_t is a whole character, and one above the
// basic plane takes a surrogate pair on Windows. A template, so that the count of pairs is
// compiled only where wchar_t can hold such a character.
template <typename Char>
std::size_t Utf16Units(std::basic_string_view<Char> name) {
  std::size_t units = name.size();
  if constexpr (sizeof(Char) > 2) {
    for (Char c : name) {
      if (static_cast<char32_t>(c) > 0xFFFF) ++units;
    }
  }
  return units;
}

// Windows opens these devices whatever folder or extension the name comes with. The digit
// of COM and LPT may also be a superscript one, two or three.
bool IsDeviceName(std::wstring_view name) {
  std::wstring_view base = name.substr(0, name.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  const std::wstring upper = AsciiUpper(base);
  if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL") return true;
  if (upper.size() != 4 || (upper.compare(0, 3, L"COM") != 0 && upper.compare(0, 3, L"LPT") != 0)) return false;
  const wchar_t digit = upper[3];
  return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

}  // namespace

bool IsPlainFileName(std::wstring_view name) {
  // "." and ".." end in a dot too; Windows drops a trailing dot or space, so such a name would
  // open another file than the one it names.
  if (name.empty() || name.back() == L'.' || name.back() == L' ') return false;
  if (Utf16Units(name) > kMaxNameUnits) return false;
  for (wchar_t c : name) {
    if (kForbiddenCharacters.find(c) != std::wstring_view::npos) return false;
    if (IsControlOrBidiCharacter(static_cast<char32_t>(c))) return false;
  }
  return !IsDeviceName(name);
}
