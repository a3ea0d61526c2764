// The program folder: where the running executable lives, the base for relative names in the
// run and in the setup description.
#pragma once

#include <string>

// Stores the folder of the running executable: up to and including its last separator
// (lower-cased on Windows, whose file names ignore case); a path without a separator gives
// the separator alone.
void SetProgramFolder(const std::wstring& path);
// A copy of the program folder; it always ends in a separator once set.
std::wstring GetProgramFolder();
