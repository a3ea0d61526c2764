// Names that a setup description gives to files in the setup temp folder.
#pragma once

#include <string_view>

// True when name can only ever name a file directly inside a folder, on every platform.
bool IsPlainFileName(std::wstring_view name);
