// The names and folders of one run: program folder, setup name, setup temp folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "system/program_folder.h"

// The text between the first two underscores of the executable's file name, when it holds at
// least one character; otherwise "Local". Case is kept.
std::wstring SetupNameFromFileName(const std::wstring& fileName);

// temporary folder + separator + "Orvel's Projects" + separator + setup name + "Setup".
std::wstring SetupTempFolderFor(const std::wstring& tempFolder, const std::wstring& setupName);

// Creates the setup temp folder with every missing parent. It counts as created only when it
// and its "Orvel's Projects" parent are private to the user, so that nobody else can plant
// files in a folder whose contents are about to be run.
bool CreateSetupTempFolder(const std::wstring& setupTempFolder);

// The install time as the final setup is told it: seconds since 1970 in UTC as
// "DD-MM-YYYY HH:MM:SS", for example 07-03-2014 09:05:03.
std::wstring FormatInstallTime(std::int64_t utcSeconds);

inline constexpr wchar_t kProjectsFolderName[] = L"Orvel's Projects";
inline constexpr wchar_t kDefaultSetupName[] = L"Local";
