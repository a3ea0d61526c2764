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
