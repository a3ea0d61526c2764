// Setup's switches.
#include "app/run_options.h"

#include "system/text.h"
#include "system/texts.h"

namespace {
enum class Switch { Quiet, Passive, Help, Log };

// Each spelling upper-cased, as the arguments are compared.
constexpr struct {
  const wchar_t* name;
  Switch meaning;
} kSwitches[] = {
    {L"/QUIET", Switch::Quiet}, {L"/Q", Switch::Quiet},         {L"/SILENT", Switch::Quiet}, {L"--QUIET", Switch::Quiet},
    {L"/PASSIVE", Switch::Passive}, {L"--PASSIVE", Switch::Passive}, {L"/?", Switch::Help},  {L"/HELP", Switch::Help},
    {L"--HELP", Switch::Help},      {L"/LOG", Switch::Log},          {L"--LOG", Switch::Log},
};
}  // namespace

CRunOptions ParseRunOptions(const std::vector<std::wstring>& arguments, const std::wstring& logVariable) {
  CRunOptions options;
  for (std::size_t i = 0; i < arguments.size() && arguments[i] != L"--"; ++i) {
    const std::wstring argument = AsciiUpper(arguments[i]);
    for (const auto& known : kSwitches) {
      if (argument != known.name) continue;
      if (known.meaning == Switch::Quiet) options.mode = RunMode::Quiet;
      if (known.meaning == Switch::Passive) options.mode = RunMode::Passive;
      if (known.meaning == Switch::Help) options.help = true;
      if (known.meaning == Switch::Log && i + 1 < arguments.size() && arguments[i + 1] != L"--") {
        if (options.logPath.empty()) options.logPath = arguments[i + 1];
        ++i;
      }
    }
  }
  if (options.logPath.empty()) options.logPath = logVariable;
  return options;
}

std::wstring UsageText(const std::wstring& programName) {
  return Text(IDS_USAGE, {programName, DecimalText(kExitAlreadyRunning), DecimalText(kExitSetupFailed)});
}

std::wstring FinalSetupArguments(const CRunOptions& options, const std::wstring& tagLine,
                                 const std::wstring& afterDoubleDash) {
  std::wstring arguments = options.Unattended() ? tagLine : std::wstring();
  if (!arguments.empty() && !afterDoubleDash.empty()) arguments += L' ';
  return arguments + afterDoubleDash;
}
