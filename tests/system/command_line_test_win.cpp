// The split rows against Windows' own CommandLineToArgvW.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "support/command_line_cases.h"
#include "system/command_line.h"

namespace {
// CommandLineToArgvW reads its first argument as a program name; a plain one goes in front.
std::vector<std::wstring> WindowsSplit(const std::wstring& text) {
  int count = 0;
  const std::wstring line = L"x.exe " + text;
  wchar_t** list = CommandLineToArgvW(line.c_str(), &count);
  std::vector<std::wstring> arguments;
  for (int i = 1; list != nullptr && i < count; ++i) arguments.emplace_back(list[i]);
  LocalFree(list);
  return arguments;
}
}  // namespace

// Catches a table row that is not what Windows does (the portable rules are checked against it).
TEST(CommandLineTest, RowsAreWhatCommandLineToArgvWGives) {
  for (const CCommandLineCase& row : kCommandLineCases) EXPECT_EQ(WindowsSplit(row.text), row.arguments) << row.text;
}
