// The plain-file-name rule that keeps description names inside the setup temp folder.
#include "system/file_name.h"

#include <gtest/gtest.h>

#include <string>

#include "system/text.h"

namespace {

// Catches each rule letting through the first name it should refuse, or refusing the name
// just beside it. The literals are UTF-16 on Windows, so the length cases hold on both.
TEST(FileNameTest, EachRuleAtItsEdge) {
  const std::wstring emoji = L"\U0001F600";  // two UTF-16 units
  const std::wstring refused[] = {
      L"", L".", L"..", L"a.", L"a ",
      // Separators, drives and the other characters Windows forbids.
      L"a/b", L"a\\b", L"c:x", L"a*", L"a?", L"a\"", L"a<", L"a>", L"a|", std::wstring(L"a\0b", 3),
      // Controls (C0, DEL, C1), bidirectional overrides and isolates.
      L"a\x1F", L"a\x7F", L"a\x80", L"a\x9F", L"a\x202A", L"a\x202E", L"a\x2066", L"a\x2069",
      // More than 255 UTF-16 units; a character beyond the basic plane counts two.
      std::wstring(256, L'a'), std::wstring(254, L'a') + emoji,
      // Devices, in any case, with or without extension: the part before the first dot counts.
      L"CON", L"con.txt", L"Aux", L"prn.x", L"NUL.tar.gz", L"CON .txt", L"COM1", L"com9.x", L"LPT1.log", L"COM\u00B9",
      L"lpt\u00B2", L"LPT\u00B3.x"};
  const std::wstring plain[] = {L"setup.exe", L".profile", L"a b.txt",
                                // The neighbours of the rules above.
                                L"a~", L"a\xA0", L"a\x2029", L"a\x202F", L"a\x2065", L"a\x206A",
                                std::wstring(255, L'a'), std::wstring(253, L'a') + emoji, L"COM0", L"com10",
                                L"COM\u2074", L"LPT", L"CONSOLE.txt", L"nul_x", L"x.con"};
  for (const auto& name : refused) EXPECT_FALSE(IsPlainFileName(name)) << "\"" << ToUtf8(name) << "\"";
  for (const auto& name : plain) EXPECT_TRUE(IsPlainFileName(name)) << "\"" << ToUtf8(name) << "\"";
}

}  // namespace
