// The folder levels that creating a folder chain attempts, in order, for each platform's
// path form. Kept apart from the file system so the rules can be checked on any machine.
#pragma once

#include <string>
#include <vector>

// Windows paths: the drive part before the first '\' is never attempted; a network path
// \\server\share\... starts with \\server\share; a path from the root of the drive \a\b\c
// starts with \a\b (\a must exist already). A path without '\' attempts nothing.
std::vector<std::wstring> WindowsFolderChainLevels(const std::wstring& path);

// Linux paths: every level from the first one, /a, /a/b, ...; doubled and trailing '/' are
// skipped. A path without '/' attempts nothing.
std::vector<std::wstring> PosixFolderChainLevels(const std::wstring& path);
