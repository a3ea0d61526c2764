// Windows command-line rules: splitting, quoting and what follows "--".
#include "system/command_line.h"

#include <gtest/gtest.h>

#include "support/command_line_cases.h"

// Catches a rule of backslashes and quotes read wrongly: each row is what CommandLineToArgvW
// gives (the Windows build checks the same rows against it).
TEST(CommandLineTest, SplitsAsWindowsDoes) {
  for (const CCommandLineCase& row : kCommandLineCases) {
    EXPECT_EQ(SplitCommandLine(row.text), row.arguments) << row.text;
  }
}

// Catches an argument that comes back changed: spaces, quotes, backslashes before a quote or at
// the end, and the empty argument, each quoted and split again.
TEST(CommandLineTest, QuotedArgumentsComeBackUnchanged) {
  const std::vector<std::wstring> arguments = {
      L"plain", L"", L"a b", L"tab\there", L"say \"hi\"", L"C:\\Program Files\\", L"\\\\server\\share\\",
      L"a\\\"b", L"\\", L"\"", L"x\\\\\"\\\\", L"/v\"/qn REBOOT=R\"", L"\x65e5\x672c"};
  for (const std::wstring& argument : arguments) {
    EXPECT_EQ(SplitCommandLine(QuoteCommandLineArgument(argument)), std::vector<std::wstring>{argument}) << argument;
  }
  EXPECT_EQ(SplitCommandLine(JoinCommandLine(arguments)), arguments);
  EXPECT_EQ(QuoteCommandLineArgument(L"/S"), L"/S");  // nothing to quote: the very text
  EXPECT_EQ(QuoteCommandLineArgument(L"a b\\"), L"\"a b\\\\\"");
}

// Catches "--" found inside a quoted argument or the program's name, a "--" that is only part of
// an argument, or the text after it changed (it goes on to the final setup as it stands).
TEST(CommandLineTest, TextAfterTheDoubleDashIsKeptAsItIs) {
  const struct {
    const wchar_t* commandLine;
    const wchar_t* after;
  } rows[] = {
      {L"Setup.exe /quiet -- /S  \"a  b\" x\\\"y", L"/S  \"a  b\" x\\\"y"},
      {L"\"C:\\a -- b\\Setup.exe\" --   PROP=\"x y\"", L"PROP=\"x y\""},
      {L"Setup.exe \"--\" one", L"one"},
      {L"Setup.exe \"a -- b\" --x", L""},
      {L"Setup.exe --", L""},
      {L"Setup.exe -- -- two", L"-- two"},
      {L"-- /quiet", L""},  // the program's name
      {L"", L""},
  };
  for (const auto& row : rows) EXPECT_EQ(CommandLineAfterDoubleDash(row.commandLine), row.after) << row.commandLine;
}
