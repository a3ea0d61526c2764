// The one place that tells the platforms apart at compile time; everything else asks these
// constants or lives in a *_win.cpp / *_posix.cpp file.
#pragma once

#ifdef _WIN32
#define WEBSETUP_WINDOWS 1
#else
#define WEBSETUP_WINDOWS 0
#endif

// The native separator between folder levels; splitting accepts both '/' and '\'.
inline constexpr wchar_t kPathSeparator = WEBSETUP_WINDOWS ? L'\\' : L'/';
inline constexpr bool kIsWindows = WEBSETUP_WINDOWS != 0;
// Windows file names ignore case, so the program folder is kept lower-cased there; on Linux
// a lower-cased path would name another (usually missing) folder.
inline constexpr bool kFileNamesIgnoreCase = WEBSETUP_WINDOWS != 0;
inline constexpr const wchar_t* kPathSeparatorText = WEBSETUP_WINDOWS ? L"\\" : L"/";
