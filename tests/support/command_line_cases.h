// Command lines and the arguments CommandLineToArgvW makes of them (no program name in front).
#pragma once

#include <string>
#include <vector>

struct CCommandLineCase {
  const wchar_t* text;
  std::vector<std::wstring> arguments;
};

inline const CCommandLineCase kCommandLineCases[] = {
    {L"", {}},
    {L"  a\tb  ", {L"a", L"b"}},
    {L"\"a b\" c", {L"a b", L"c"}},
    {L"a\"b c\"d", {L"ab cd"}},
    {L"\"\"", {L""}},
    {L"a\\b \\\\c", {L"a\\b", L"\\\\c"}},
    {L"a\\\"b", {L"a\"b"}},
    {L"a\\\\\"b c\"", {L"a\\b c"}},
    {L"a\\\\\\\"b", {L"a\\\"b"}},
    {L"\"a\\\\\"", {L"a\\"}},
    {L"\"unclosed arg", {L"unclosed arg"}},
    {L"/v\"/qn REBOOT=R\"", {L"/v/qn REBOOT=R"}},
};
