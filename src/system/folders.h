// The well-known folders of the user and the machine, each an absolute path without a
// trailing separator, or empty when the platform does not supply it. Nothing is cached.
#pragma once

#include <string>

std::wstring GetProgramFilesFolder();
std::wstring GetTempFolder();
std::wstring GetDesktopFolder();
std::wstring GetMyDocumentsFolder();
// The user's program-menu folder; created when it does not exist yet.
std::wstring GetStartMenuFolder();
