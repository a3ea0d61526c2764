// Command lines as Windows programs read them (CommandLineToArgvW's rules), on both platforms:
// the final setup gets its arguments in that form, whichever system starts it.
#pragma once

#include <string>
#include <vector>

// The arguments of text, which holds arguments only (no program name): spaces and tabs
// separate them; double quotes group; 2n backslashes before a quote give n and the quote
// groups, 2n+1 give n and a literal quote; other backslashes are literal; inside quotes, two
// quotes give one literal quote.
std::vector<std::wstring> SplitCommandLine(const std::wstring& text);

// argument quoted so that SplitCommandLine gives it back unchanged; left as it is when it
// needs no quotes.
std::wstring QuoteCommandLineArgument(const std::wstring& argument);
// The arguments quoted and joined with single spaces.
std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments);

// What follows the first "--" argument of a whole command line (the program name first, read
// as Windows reads it: up to the next quote when it starts with one, else up to a space),
// character for character, without the spaces before it; empty when there is no "--".
std::wstring CommandLineAfterDoubleDash(const std::wstring& commandLine);
