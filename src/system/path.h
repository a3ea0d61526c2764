// Joining and splitting paths with the platform's separator; splitting accepts '/' and '\'.
#pragma once

#include <string>

// True for '/' and '\', the separators that splitting recognises on every platform.
bool IsPathSeparator(wchar_t c);

// Splits a path at its last separator. folder keeps that separator; name is the rest (maybe
// empty). Separators in folder are turned into the platform's own. Without a separator the
// folder is empty and name is the whole path.
void SplitPath(const std::wstring& path, std::wstring& folder, std::wstring& name);

// folder + name, with a separator between them only when folder does not already end in one.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// Removes exactly one trailing separator, if there is one.
std::wstring StripTrailingSeparator(std::wstring path);
