// How Setup was asked to run: the switches of its command line, the exit codes of unattended
// runs and what the final setup is given.
#pragma once

#include <string>
#include <vector>

#include "websetup_config.h"

// Interactive: windows and message boxes, exit status 0 whatever happens. Quiet: no window and
// no box at all. Passive: the progress window, but no box. The two unattended modes end with an
// exit code a management tool can read, and always keep a support log.
enum class RunMode { Interactive, Quiet, Passive };

struct CRunOptions {
  RunMode mode = RunMode::Interactive;
  bool help = false;
  // The support log asked for, "/log FILE" before the environment's WEBSETUP_LOG; empty for none.
  std::wstring logPath;

  bool Unattended() const { return mode != RunMode::Interactive; }
};

// The switches among arguments, any case, up to the first "--" (what follows is the final
// setup's): "/quiet", "/q", "/silent", "--quiet"; "/passive", "--passive"; "/?", "/help",
// "--help"; "/log FILE", "--log FILE". Other arguments are ignored, as they always were.
CRunOptions ParseRunOptions(const std::vector<std::wstring>& arguments, const std::wstring& logVariable);

// The usage shown for "/?": the switches, and the exit codes with this platform's values.
std::wstring UsageText(const std::wstring& programName);

// Exit codes of unattended runs besides 0 and the final setup's own: Windows Installer's
// "fatal error" and "another installation is in progress", which deployment tools already
// know (the second they retry); on Linux, where a status is one byte, 1 and EX_TEMPFAIL.
inline constexpr int kExitSetupFailed = kIsWindows ? 1603 : 1;
inline constexpr int kExitAlreadyRunning = kIsWindows ? 1618 : 75;

// The description tag whose one line an unattended run appends to the final setup's command line.
inline constexpr wchar_t kUnattendedArgumentsTag[] = L"Unattended Arguments";

// The final setup's command line after its name: the tag's line (unattended runs only), then
// what followed "--" on Setup's own, each only when there is one.
std::wstring FinalSetupArguments(const CRunOptions& options, const std::wstring& tagLine,
                                 const std::wstring& afterDoubleDash);
