// Lookups on the tagged text: headers, values, items and the missing-tag message.
#include "description/tag_parser.h"

#include <gtest/gtest.h>

#include "description/setup_description.h"
#include "support/test_support.h"

namespace {

struct CLookupCase {
  const wchar_t* text;
  const wchar_t* tag;
  int index;
  const wchar_t* expected;
};

class TagLookupTest : public ::testing::TestWithParam<CLookupCase> {
 protected:
  CMessageBoxRecorder m_boxes;
  CSetupDescription m_description;
};

// Catches wrong header matching, value bounds, trimming or item splitting; none of these
// lookups may show a message.
TEST_P(TagLookupTest, FindsTheItem) {
  m_description.LoadText(GetParam().text);
  m_boxes.m_boxes.clear();
  EXPECT_EQ(m_description.GetItem(GetParam().tag, GetParam().index), GetParam().expected);
  EXPECT_TRUE(m_boxes.m_boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TagLookupTest,
    ::testing::Values(
        // Header case is ignored; the value keeps its own case.
        CLookupCase{L"[download sites]\r\nHost.Example\r\n[End]End", L"Download Sites", 0, L"Host.Example"},
        // The first of two equal headers wins.
        CLookupCase{L"[A]first\n[a]second\n[End]End", L"A", 0, L"first"},
        // A "[" ends a value, even mid-line.
        CLookupCase{L"[A]x[B]y[End]End", L"A", 0, L"x"}, CLookupCase{L"[A]x[B]y[End]End", L"B", 0, L"y"},
        // Items keep the CR before their LF; the last loses it to the trim; past the end is empty.
        CLookupCase{L"[A]\r\none\r\ntwo\r\nthree\r\n[End]End", L"A", 0, L"one\r"},
        CLookupCase{L"[A]\r\none\r\ntwo\r\nthree\r\n[End]End", L"A", 2, L"three"},
        CLookupCase{L"[A]\r\none\r\ntwo\r\nthree\r\n[End]End", L"A", 3, L""},
        CLookupCase{L"[A]\r\none\r\ntwo\r\nthree\r\n[End]End", L"A", 1000000, L""},
        // A blank line is an item of its own: a bare CR, or nothing with LF line ends.
        CLookupCase{L"[A]one\r\n\r\nthree[End]End", L"A", 1, L"\r"},
        CLookupCase{L"[A]one\n\nthree[End]End", L"A", 1, L""},
        // A header at the very end, or a value of white space only, is empty.
        CLookupCase{L"[End]End[A]", L"A", 0, L""}, CLookupCase{L"[A] \t\r\n [End]End", L"A", 0, L""},
        // Trimming removes only the ends, never inner spaces; names may hold spaces.
        CLookupCase{L"[Program to run]  my setup.exe \r\n[End]End", L"Program to run", 0, L"my setup.exe"},
        // A negative index is no item.
        CLookupCase{L"[A]x[End]End", L"A", -1, L""}));

class TagParserTest : public ::testing::Test {
 protected:
  CMessageBoxRecorder m_boxes;
  CSetupDescription m_description;
};

// Catches a missing message, a doubled one, a wrong caption or a changed name case.
TEST_F(TagParserTest, MissingTagShowsOneMessagePerLookup) {
  m_description.LoadText(L"[A]x\n[End]End");
  m_boxes.m_boxes.clear();
  EXPECT_EQ(m_description.GetValue(L"Program To Run"), L"");
  ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes.m_boxes[0].first, L"Tag 'Program To Run' not found.");
  EXPECT_EQ(m_boxes.m_boxes[0].second, L"Ini Parser");
  EXPECT_EQ(m_description.GetItem(L"Program To Run", 3), L"");
  EXPECT_EQ(m_boxes.m_boxes.size(), 2u);
}

// Catches FindTag returning the header's start, or finding headers case-sensitively.
TEST_F(TagParserTest, FindTagPointsBehindTheHeader) {
  m_description.LoadText(L"ab[end]End");
  EXPECT_EQ(m_description.FindTag(L"END"), 7);
  EXPECT_EQ(m_description.FindTag(L"Other"), kTagNotFound);
}

// Catches a handler that does not replace the box, or is not told the name.
TEST_F(TagParserTest, MissingTagHandlerReplacesTheMessageBox) {
  std::vector<std::wstring> names;
  m_description.SetMissingTagHandler([&names](const std::wstring& name) { names.push_back(name); });
  m_description.LoadText(L"[A]x");
  EXPECT_EQ(names, std::vector<std::wstring>{L"End"});
  EXPECT_TRUE(m_boxes.m_boxes.empty());
}

// Catches trimming that stops at NBSP-like narrow characters (not white space here), misses
// a wide space above U+00FF (the ideographic and em spaces; Linux's own C-locale
// classification knows none), or takes a zero-width space for one.
TEST(TagTrimTest, TrimsOnlyDescriptionSpace) {
  EXPECT_EQ(TrimDescriptionSpace(L"\v\f x \t"), L"x");
  EXPECT_EQ(TrimDescriptionSpace(L"\u00A0x\u00A0"), L"\u00A0x\u00A0");
  EXPECT_EQ(TrimDescriptionSpace(L"\u3000\u2003x\u3000y\u2003\u3000"), L"x\u3000y");
  EXPECT_EQ(TrimDescriptionSpace(L"\u200Bx\u200B"), L"\u200Bx\u200B");
}

}  // namespace
