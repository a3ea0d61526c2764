// Windows command-line rules, portable.
#include "system/command_line.h"

namespace {
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::size_t SkipBlanks(const std::wstring& text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

// Reads the argument that starts at `at` (not a blank) into value; returns where it ended.
std::size_t ReadArgument(const std::wstring& text, std::size_t at, std::wstring& value) {
  value.clear();
  bool quoted = false;
  while (at < text.size() && (quoted || !IsBlank(text[at]))) {
    const wchar_t c = text[at];
    if (c == L'\\') {
      std::size_t backslashes = 0;
      while (at < text.size() && text[at] == L'\\') ++backslashes, ++at;
      if (at < text.size() && text[at] == L'"') {
        value.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
          value += L'"';
          ++at;
        }
      } else {
        value.append(backslashes, L'\\');
      }
    } else if (c == L'"') {
      if (quoted && at + 1 < text.size() && text[at + 1] == L'"') {
        value += L'"';
        at += 2;
      } else {
        quoted = !quoted;
        ++at;
      }
    } else {
      value += c;
      ++at;
    }
  }
  return at;
}
}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& text) {
  std::vector<std::wstring> arguments;
  std::wstring value;
  for (std::size_t at = SkipBlanks(text, 0); at < text.size(); at = SkipBlanks(text, at)) {
    at = ReadArgument(text, at, value);
    arguments.push_back(value);
  }
  return arguments;
}

std::wstring QuoteCommandLineArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote itself escaped; others stay single.
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(2 * backslashes, L'\\');  // before the closing quote
  return quoted + L'"';
}

std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments) {
  std::wstring text;
  for (const std::wstring& argument : arguments) {
    if (!text.empty()) text += L' ';
    text += QuoteCommandLineArgument(argument);
  }
  return text;
}

std::wstring CommandLineAfterDoubleDash(const std::wstring& commandLine) {
  // The program name has rules of its own: no escapes, and a quote only at its start.
  std::size_t at = 0;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    at = commandLine.find(L'"', 1);
    at = at == std::wstring::npos ? commandLine.size() : at + 1;
  } else {
    while (at < commandLine.size() && !IsBlank(commandLine[at])) ++at;
  }
  std::wstring value;
  for (at = SkipBlanks(commandLine, at); at < commandLine.size(); at = SkipBlanks(commandLine, at)) {
    at = ReadArgument(commandLine, at, value);
    if (value == L"--") return commandLine.substr(SkipBlanks(commandLine, at));
  }
  return {};
}
