// Linux 8-bit text: UTF-8, with Windows-1252 for bytes that are not valid UTF-8.
#include <cwctype>

#include "system/text.h"
#include "system/text_internal.h"

std::wstring DecodeNarrowText(std::string_view bytes) { return FromUtf8WithFallback(bytes, true); }

std::string EncodeNarrowText(std::wstring_view text) { return ToUtf8(text); }

std::wstring LowerCase(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return out;
}

// The characters above U+00FF that Windows' iswspace calls spaces: the Unicode white space
// of that range (the ogham space mark, the spaces U+2000 to U+200A, the line and paragraph
// separators, the narrow no-break, medium mathematical and ideographic spaces).
bool IsWideSpace(wchar_t c) {
  return c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}
