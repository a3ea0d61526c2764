// The one rule for names a description gives to files in the setup temp folder: the local
// names of "Files to download", "Program to run" and "User Info Filename".
#pragma once

#include <string_view>

// True when name can only ever name a file directly inside one folder, on Windows and on
// Linux alike. The description arrives over plain HTTP, so whoever can answer for a download
// host chooses these names: a separator, a drive, "..", a Windows device (CON, NUL.txt, COM1,
// ...), a name Windows would silently shorten (trailing dot or space) or one that hides its
// real shape behind control or bidirectional characters must never reach the file system or
// the launch. Devices are refused on Linux too, because one description serves both. The
// name is judged as given; callers pass it trimmed.
bool IsPlainFileName(std::wstring_view name);
