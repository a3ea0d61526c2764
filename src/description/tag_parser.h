// The tagged text format of the setup description: headers "[name]" (ASCII case ignored),
// values that run to the next "[" and are trimmed, one item per line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::ptrdiff_t kTagNotFound = -1;

// White space as the description trims it: space, tab, LF, VT, FF, CR, and above U+00FF
// whatever the platform's wide classification calls a space.
bool IsDescriptionSpace(wchar_t c);
std::wstring TrimDescriptionSpace(std::wstring_view text);

// Position of the first character behind the first header of name, or kTagNotFound.
std::ptrdiff_t FindTagIn(const std::wstring& text, const std::wstring& name);
// The trimmed value of the first header of name; false (and value empty) when it is missing.
bool GetTagValueIn(const std::wstring& text, const std::wstring& name, std::wstring& value);
// Item index of a trimmed value, split at line feeds (a CR before an LF stays in its item);
// empty past the last item or for an empty item.
std::wstring GetItemOfValue(const std::wstring& value, int index);
