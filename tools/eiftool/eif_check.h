// eiftool check: loads a description the way Setup does and reports what Setup would read,
// and the problems a vendor wants to hear about before publishing it.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

// Writes the report to out. Returns 0 when the description loads and every entry is usable,
// 1 otherwise. Never shows a message box.
int CheckDescription(const std::wstring& path, std::string_view key, std::wstring_view signature, std::ostream& out);
