// Starting the final setup and waiting for it; the module path and the current directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A started process: a process HANDLE on Windows, a pid on Linux; kNoProcess when none.
using ProcessHandle = std::intptr_t;
inline constexpr ProcessHandle kNoProcess = 0;

// Opens program as the shell's "open" verb would, with workingFolder as its working
// directory, shown normally, and returns the process to wait for (or kNoProcess). arguments is
// its command line after its name, as Windows reads one (on Linux split by the same rules). On
// Linux a native executable or a "#!" script is made executable and started directly.
ProcessHandle StartProgram(const std::wstring& program, const std::wstring& workingFolder, void* ownerWindow,
                           const std::wstring& arguments = {});

enum class WaitResult { Timeout, Ended };
// Waits up to milliseconds for the process to end. Once it has, exitCode (when given) receives
// its exit code (on Linux, 128 + the signal number for a process a signal ended; -1 when none
// can be had).
WaitResult WaitForProcess(ProcessHandle process, std::uint32_t milliseconds, int* exitCode = nullptr);
// Releases the handle (on Linux, reaps the process if it has ended).
void CloseProcess(ProcessHandle process);

// The arguments the program was started with, its own name left out.
std::vector<std::wstring> GetCommandLineArguments();
// What follows the first "--" among the program's arguments, for the final setup's command line:
// on Windows the very characters Setup was given, on Linux the arguments quoted as Windows
// would need them. Empty when there is no "--".
std::wstring GetArgumentsAfterDoubleDash();
// An environment variable's value; empty when it is not set.
std::wstring GetEnvironmentValue(const std::wstring& name);

// The running executable's path as the platform first reports it.
std::wstring GetModulePath();
// The long (canonical) form of an existing path, or empty when it cannot be worked out.
std::wstring GetLongPathForm(const std::wstring& path);
bool SetCurrentFolder(const std::wstring& folder);
std::wstring GetCurrentFolder();
