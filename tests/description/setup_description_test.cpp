// Loading a setup description: file kinds and encodings, comments, placeholders, the end
// marker and the two lists.
#include "description/setup_description.h"

#include <gtest/gtest.h>

#include "eif_test_support.h"
#include "support/test_support.h"
#include "system/folders.h"
#include "system/program_folder.h"
#include "websetup_config.h"

namespace {

// UTF-16LE bytes with the FF FE mark, as Windows editors save "Unicode" text.
std::string Utf16File(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

class SetupDescriptionTest : public ::testing::Test {
 protected:
  SetupDescriptionTest() { SetProgramFolder(m_temp / L"Setup.exe"); }
  ~SetupDescriptionTest() override { SetProgramFolder(L""); }
  // Loads text from a plain ".ini" file in the program folder.
  bool LoadPlain(const std::string& bytes) {
    WriteFileBytes(m_temp / L"d.ini", bytes);
    return m_description.Load(L"d.ini");
  }
  CTempFolder m_temp;
  CMessageBoxRecorder m_boxes;
  CSetupDescription m_description;
};

// Catches relative names not being resolved against the program folder, or absolute names
// being prefixed with it.
TEST_F(SetupDescriptionTest, OpensRelativeNamesInTheProgramFolder) {
  WriteFileBytes(m_temp / L"SetupInitial.eif", MakeEif("[End]End"));
  EXPECT_TRUE(m_description.Load(L"SetupInitial.eif"));
  CTempFolder other;
  WriteFileBytes(other / L"x.eif", MakeEif("[A]abs[End]End"));
  EXPECT_TRUE(m_description.Load(other / L"x.eif"));
  EXPECT_EQ(m_description.GetValue(L"A"), L"abs");
}

// Catches a case-insensitive ".ini" test: ".INI" must be decrypted, so plain text fails.
TEST_F(SetupDescriptionTest, UpperCaseIniIsDecrypted) {
  WriteFileBytes(m_temp / L"d.INI", "[End]End");
  EXPECT_FALSE(m_description.Load(L"d.INI"));
  EXPECT_FALSE(m_description.IsLoaded());
  WriteFileBytes(m_temp / L"e.INI", MakeEif("[End]End"));
  EXPECT_TRUE(m_description.Load(L"e.INI"));
}

// Catches a mark read as text, UTF-16 read as 8-bit (or the reverse), surrogate pairs split
// on Linux, or text past the first zero unit being kept.
TEST_F(SetupDescriptionTest, DecodesUtf16WithMarkAndEightBitText) {
  ASSERT_TRUE(LoadPlain(Utf16File(u"[A]\u00E9\U0001F600[End]End") + std::string("\0\0[B]x", 6)));
  EXPECT_EQ(m_description.GetValue(L"A"), L"\u00E9\U0001F600");
  EXPECT_EQ(m_description.Text().find(L"[B]"), std::wstring::npos);
  // An odd last byte is no code unit: the zero byte behind it must not complete one ("EndA").
  ASSERT_TRUE(LoadPlain(Utf16File(u"[A]x[End]End") + "A"));
  WriteFileBytes(m_temp / L"odd.eif", MakeEif(Utf16File(u"[End]End") + "A"));
  EXPECT_TRUE(m_description.Load(L"odd.eif"));
  ASSERT_TRUE(LoadPlain("[A]plain\r\n[End]End\r\n"));
  EXPECT_EQ(m_description.GetValue(L"A"), L"plain");
}

// Catches a lone surrogate in a UTF-16 description that swallows the unit behind it (a "["
// or a pair), ends the text, is lost as the last unit, or stays a surrogate on Linux, where
// text is UTF-32.
TEST_F(SetupDescriptionTest, LoneSurrogatesInUtf16KeepTheirNeighbours) {
  const char16_t high = 0xD800, low = 0xDC00;
  ASSERT_TRUE(LoadPlain(Utf16File(std::u16string(u"[A]") + high + u"[B]" + low + u"x[C]" + high + u"\U0001F600" +
                                  u"[End]End[D]" + high)));
  const auto unit = [](char16_t value) { return kIsWindows ? static_cast<wchar_t>(value) : L'\uFFFD'; };
  EXPECT_EQ(m_description.GetValue(L"A"), std::wstring(1, unit(high)));
  EXPECT_EQ(m_description.GetValue(L"B"), std::wstring(1, unit(low)) + L"x");
  EXPECT_EQ(m_description.GetValue(L"C"), std::wstring(1, unit(high)) + L"\U0001F600");
  EXPECT_EQ(m_description.GetValue(L"D"), std::wstring(1, unit(high)));
  EXPECT_TRUE(m_boxes.m_boxes.empty());
}

// Catches the mark being honoured in an encrypted description, where Load (not decryption)
// must decode it.
TEST_F(SetupDescriptionTest, DecodesUtf16InsideAnEifFile) {
  WriteFileBytes(m_temp / L"u.eif", MakeEif(Utf16File(u"[A]wide[End]End")));
  ASSERT_TRUE(m_description.Load(L"u.eif"));
  EXPECT_EQ(m_description.GetValue(L"A"), L"wide");
}

// Catches a failed read replacing (or clearing) what was loaded before, or showing a message.
TEST_F(SetupDescriptionTest, FailedReadKeepsTheEarlierText) {
  ASSERT_TRUE(LoadPlain("[A]first[End]End"));
  WriteFileBytes(m_temp / L"empty.ini", "");
  EXPECT_FALSE(m_description.Load(L"empty.ini"));
  EXPECT_FALSE(m_description.Load(L"missing.eif"));
  EXPECT_EQ(m_description.GetValue(L"A"), L"first");
  EXPECT_TRUE(m_boxes.m_boxes.empty());
}

struct CEndCase {
  const char* text;
  bool loads;
  std::size_t messages;
};

class EndMarkerTest : public SetupDescriptionTest, public ::testing::WithParamInterface<CEndCase> {};

// Catches a loose end comparison, a missing message for a missing tag, or a message where
// the tag is present; the text stays loaded in every case.
TEST_P(EndMarkerTest, DecidesCompleteness) {
  EXPECT_EQ(LoadPlain(GetParam().text), GetParam().loads) << GetParam().text;
  EXPECT_TRUE(m_description.IsLoaded());
  EXPECT_EQ(m_boxes.m_boxes.size(), GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(Texts, EndMarkerTest,
                         ::testing::Values(CEndCase{"[A]x\r\n[End]\r\nEnd\r\n", true, 0},
                                           CEndCase{"[A]x\r\n[end]End", true, 0},
                                           CEndCase{"[A]x\r\n[End]End.", false, 0},
                                           CEndCase{"[A]x\r\n[End]end", false, 0}, CEndCase{"[A]x\r\n", false, 1}));

// Catches comments that are not removed behind values, or that take the line feed with them.
TEST_F(SetupDescriptionTest, StripsCommentsToTheEndOfTheLine) {
  ASSERT_TRUE(LoadPlain("// header comment\r\n[A]value // note\r\nsecond\r\n[End]End //done"));
  EXPECT_EQ(m_description.GetItem(L"A", 0), L"value ");
  EXPECT_EQ(m_description.GetItem(L"A", 1), L"second");
}

// Catches a folder placeholder looked up as a tag, or a case-insensitive placeholder name.
TEST_F(SetupDescriptionTest, ExpandsFolderPlaceholdersCaseSensitively) {
  ASSERT_TRUE(LoadPlain(
      "[A]$Temp Folder$\\info.txt\r\n[B]$temp folder$\r\n[Temp Folder]tag\r\n[C]$desktop folder$\r\n[End]End"));
  EXPECT_EQ(m_description.GetValue(L"A"), GetTempFolder() + L"\\info.txt");
  EXPECT_EQ(m_description.GetValue(L"B"), L"tag");
  EXPECT_EQ(m_description.GetValue(L"C"), L"");
  ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes.m_boxes[0].first, L"Tag 'desktop folder' not found.");
}

// Catches the program folder keeping its trailing separator.
TEST_F(SetupDescriptionTest, ApplicationPathLosesItsTrailingSeparator) {
  ASSERT_TRUE(LoadPlain("[A]$Application Path$|[End]End"));
  const std::wstring folder = GetProgramFolder();  // lower-cased on Windows
  ASSERT_EQ(folder.back(), kPathSeparator);
  EXPECT_EQ(m_description.GetValue(L"A"), folder.substr(0, folder.size() - 1) + L"|");
}

// Catches placeholders inside an inserted value not being expanded in turn, or the values of
// two headers that begin at the same "[" ([a] and [a]]) being taken for one.
TEST_F(SetupDescriptionTest, ExpandsChainedPlaceholders) {
  ASSERT_TRUE(LoadPlain("[A]$X$\r\n[X]$Temp Folder$\r\n[End]End"));
  EXPECT_EQ(m_description.GetValue(L"A"), GetTempFolder());
  ASSERT_TRUE(LoadPlain("[a]]v[B]$a$,$a]$[End]End"));
  EXPECT_EQ(m_description.GetValue(L"B"), L"]v,v");
}

// Catches an unpaired "$" hanging the expansion, or "$" signs being paired other than left to
// right (the second pairing swallows " [B]" as a tag name, as stored descriptions expect).
TEST_F(SetupDescriptionTest, DollarsPairLeftToRightAndALastOneStaysUnpaired) {
  ASSERT_TRUE(LoadPlain("[A]$Temp Folder$ and 5$ \r\n[End]End"));
  EXPECT_EQ(m_description.GetValue(L"A"), GetTempFolder() + L" and 5$");
  EXPECT_TRUE(m_boxes.m_boxes.empty());
  ASSERT_TRUE(LoadPlain("[A]5$ [B]$Temp Folder$[End]End"));
  EXPECT_EQ(m_description.GetValue(L"A"), L"5Temp Folder$");
  ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes.m_boxes[0].first, L"Tag ' [B]' not found.");
}

class SelfReferenceTest : public SetupDescriptionTest, public ::testing::WithParamInterface<const char*> {};

// Catches endless expansion (a hang or memory exhaustion) and such a description loading.
TEST_P(SelfReferenceTest, LoadFailsWithoutHanging) {
  EXPECT_FALSE(LoadPlain(GetParam())) << GetParam();
  EXPECT_LE(m_description.Text().size(), std::string(GetParam()).size() + kMaxPlaceholderGrowth);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SelfReferenceTest,
    ::testing::Values("[A]x$A$\r\n[End]End", "[A]$B$\r\n[B]$C$\r\n[C]$A$y\r\n[End]End", "[A]$A$$A$\r\n[End]End",
                      // No cycle, but every level doubles the text: 2^40 copies.
                      "[A]$B$$B$[B]$C$$C$[C]$D$$D$[D]$E$$E$[E]$F$$F$[F]$G$$G$[G]$H$$H$[H]$I$$I$[I]$J$$J$"
                      "[J]$K$$K$[K]$L$$L$[L]$M$$M$[M]$N$$N$[N]$O$$O$[O]$P$$P$[P]$Q$$Q$[Q]$R$$R$[R]$S$$S$"
                      "[S]$T$$T$[T]$U$$U$[U]0123456789012345678901234567890123456789[End]End"));

// How many placeholders a description holds and whether it loads.
struct CReplacementCase {
  int placeholders;
  bool loads;
};

class ReplacementLimitTest : public SetupDescriptionTest, public ::testing::WithParamInterface<CReplacementCase> {};

// Catches a replacement limit that is off by one, or one left to the size limit alone: each
// replacement here makes the text shorter, so only the count can stop the expansion.
TEST_P(ReplacementLimitTest, CountAloneStopsTheExpansion) {
  std::string text = "[A]x\r\n[B]";
  for (int i = 0; i < GetParam().placeholders; ++i) text += "$A$";
  EXPECT_EQ(LoadPlain(text + "\r\n[End]End"), GetParam().loads);
  if (GetParam().loads) {
    EXPECT_EQ(m_description.GetValue(L"B"), std::wstring(static_cast<std::size_t>(GetParam().placeholders), L'x'));
  }
}

INSTANTIATE_TEST_SUITE_P(Counts, ReplacementLimitTest,
                         ::testing::Values(CReplacementCase{4096, true}, CReplacementCase{4097, false}));

// Catches the nesting test refusing a placeholder used twice side by side.
TEST_F(SetupDescriptionTest, RepeatedButFinitePlaceholdersExpand) {
  ASSERT_TRUE(LoadPlain("[A]$B$-$B$\r\n[B]$C$\r\n[C]c\r\n[End]End"));
  EXPECT_EQ(m_description.GetValue(L"A"), L"c-c");
}

// Catches untrimmed parts, a split at the second "->" or a missing-arrow entry counted as usable.
TEST_F(SetupDescriptionTest, ReadsTheFileList) {
  ASSERT_TRUE(
      LoadPlain("[Files to download]\r\n  /a/b.exe  ->  b.exe \r\n/c->d->e\r\nno arrow\r\n/f -> f\r\n[End]End"));
  std::wstring remote, local;
  ASSERT_TRUE(m_description.GetFirstFile(remote, local));
  EXPECT_EQ(remote, L"/a/b.exe");
  EXPECT_EQ(local, L"b.exe");
  ASSERT_TRUE(m_description.GetNextFile(remote, local));
  EXPECT_EQ(remote, L"/c");
  EXPECT_EQ(local, L"d->e");
  EXPECT_FALSE(m_description.GetNextFile(remote, local));
  EXPECT_EQ(remote, L"");
  EXPECT_TRUE(m_description.GetNextFile(remote, local));
  EXPECT_EQ(remote, L"/f");
  EXPECT_FALSE(m_description.GetNextFile(remote, local));
  EXPECT_TRUE(m_description.GetFirstFile(remote, local));
  EXPECT_EQ(local, L"b.exe");
  EXPECT_TRUE(m_boxes.m_boxes.empty());
}

// Catches a list that goes on past its end, or a message at the end of a present list.
TEST_F(SetupDescriptionTest, ReadsThreeSitesThenStops) {
  ASSERT_TRUE(LoadPlain("[Download Sites]\r\none.example\r\n two.example \r\nthree.example\r\n[End]End"));
  std::wstring site;
  ASSERT_TRUE(m_description.GetFirstSite(site));
  EXPECT_EQ(site, L"one.example");
  ASSERT_TRUE(m_description.GetNextSite(site));
  EXPECT_EQ(site, L"two.example");
  ASSERT_TRUE(m_description.GetNextSite(site));
  EXPECT_EQ(site, L"three.example");
  EXPECT_FALSE(m_description.GetNextSite(site));
  EXPECT_EQ(site, L"");
  EXPECT_TRUE(m_boxes.m_boxes.empty());
}

// Catches a site written as a URL surviving the comment rule, or a blank line not ending a list.
TEST_F(SetupDescriptionTest, SitesLoseCommentsAndEndAtABlankLine) {
  ASSERT_TRUE(LoadPlain("[Download Sites]\r\nhttp://one.example\r\n\r\nthree.example\r\n[End]End"));
  std::wstring site;
  ASSERT_TRUE(m_description.GetFirstSite(site));
  EXPECT_EQ(site, L"http:");
  EXPECT_FALSE(m_description.GetNextSite(site));
}

// Catches a missing list showing no message, or reading on regardless.
TEST_F(SetupDescriptionTest, MissingListShowsTheMessageOnFirstRead) {
  ASSERT_TRUE(LoadPlain("[End]End"));
  std::wstring remote, local;
  EXPECT_FALSE(m_description.GetFirstFile(remote, local));
  ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes.m_boxes[0].first, L"Tag 'Files to download' not found.");
}

}  // namespace
