// The User Info File: what the final setup is told about the run, and its narrow encoding.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The file's text in the system's narrow encoding (the ANSI code page on Windows, characters
// outside it replaced; UTF-8 on Linux), however long; none when no memory is left for it.
std::optional<std::string> ToNarrowText(std::wstring_view text);

// The 28 lines of the file, each ending in a line feed, with the three user folders asked for
// at this moment.
std::wstring UserInfoText(const std::wstring& initialSetupPathname, const std::wstring& setupTempFolder,
                          const std::wstring& downloadSite, const std::wstring& applicationName,
                          const std::wstring& installTime);
