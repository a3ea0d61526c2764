// Setup's switches.
#include "app/run_options.h"

#include "system/text.h"

CRunOptions ParseRunOptions(const std::vector<std::wstring>& arguments, const std::wstring& logVariable) {
  CRunOptions options;
  for (std::size_t i = 0; i < arguments.size() && arguments[i] != L"--"; ++i) {
    const std::wstring option = AsciiUpper(arguments[i]);
    if (option == L"/QUIET" || option == L"/Q" || option == L"/SILENT" || option == L"--QUIET") {
      options.mode = RunMode::Quiet;
    } else if (option == L"/PASSIVE" || option == L"--PASSIVE") {
      options.mode = RunMode::Passive;
    } else if (option == L"/?" || option == L"/HELP" || option == L"--HELP") {
      options.help = true;
    } else if ((option == L"/LOG" || option == L"--LOG") && i + 1 < arguments.size() && arguments[i + 1] != L"--") {
      if (options.logPath.empty()) options.logPath = arguments[i + 1];
      ++i;
    }
  }
  if (options.logPath.empty()) options.logPath = logVariable;
  return options;
}

std::wstring UsageText(const std::wstring& programName) {
  return L"Usage: " + programName + L" [/quiet | /passive] [/log FILE] [-- ARGUMENTS]\n"
         L"\n"
         L"Downloads the setup and starts it.\n"
         L"\n"
         L"  /quiet, /q, /silent   no window and no message; what a message would say goes to the log\n"
         L"  /passive              the progress window, but no message\n"
         L"  /log FILE             keeps a support log in FILE (unattended runs keep one anyway, as\n"
         L"                        <setup name>Setup.log in the temporary folder's \"Orvel's Projects\")\n"
         L"  -- ARGUMENTS          passed on to the setup, after its unattended arguments\n"
         L"  /?, /help             this text\n"
         L"\n"
         L"Exit codes of /quiet and /passive runs: 0, or the setup's own code when it ends with\n"
         L"another; " + DecimalText(kExitAlreadyRunning) + L" when another run of this setup is going on; " +
         DecimalText(kExitSetupFailed) + L" when this program failed (the log says why).\n";
}

std::wstring FinalSetupArguments(const CRunOptions& options, const std::wstring& tagLine,
                                 const std::wstring& afterDoubleDash) {
  std::wstring arguments = options.Unattended() ? tagLine : std::wstring();
  if (!arguments.empty() && !afterDoubleDash.empty()) arguments += L' ';
  return arguments + afterDoubleDash;
}
