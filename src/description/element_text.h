// The text of one markup element, as the download worker reads the title of a page.
#pragma once

#include <string>

// The upper-cased text between the single "<NAME>" and the single "</NAME>" of text (ASCII
// letters compared without case). Empty when either tag is missing or occurs twice, or when
// the closing tag does not follow the opening one. Not trimmed.
std::wstring ExtractElementText(const std::wstring& text, const std::wstring& name);
