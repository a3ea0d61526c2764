// eiftool in-process: key generation, pack/unpack round trips and the check's verdicts.
#include "eiftool.h"

#include <gtest/gtest.h>

#include <sstream>

#include "description/eif_decrypt.h"
#include "eif_check.h"
#include "support/test_support.h"

namespace {

class EifToolTest : public ::testing::Test {
 protected:
  std::wstring Path(const wchar_t* name) { return m_temp / name; }
  int Run(std::vector<std::wstring> args) { return RunEifTool(args); }
  std::wstring Signature() { return std::wstring(GetBuiltInEifSignature()); }
  CTempFolder m_temp;
  CMessageBoxRecorder m_boxes;
};

// Catches keys that do not pair up, a pack that loses bytes, or an unpack that adds zeros.
TEST_F(EifToolTest, KeygenPackUnpackRoundTrip) {
  ASSERT_EQ(Run({L"keygen", Path(L"k.hex"), Path(L"k.pem")}), 0);
  const std::string plain = std::string(200, 'x') + "\xFF\xFE" + std::string(3, '\0');
  WriteFileBytes(Path(L"in.txt"), plain);
  ASSERT_EQ(Run({L"pack", L"--public-key", Path(L"k.pem"), L"--signature", L"Other-Sig-123", Path(L"in.txt"),
                 Path(L"out.eif")}),
            0);
  EXPECT_EQ(ReadFileBytes(Path(L"out.eif")).size(), 14u + 3 * 128);
  ASSERT_EQ(Run({L"unpack", L"--private-key", Path(L"k.hex"), L"--signature", L"Other-Sig-123", Path(L"out.eif"),
                 Path(L"back.txt")}),
            0);
  EXPECT_EQ(ReadFileBytes(Path(L"back.txt")), plain);
  EXPECT_NE(Run({L"unpack", L"--private-key", Path(L"k.hex"), L"--signature", Signature(), Path(L"out.eif"),
                 Path(L"back.txt")}),
            0);
}

// Catches bad command lines reported as success.
TEST_F(EifToolTest, FailuresExitNonZero) {
  WriteFileBytes(Path(L"in.txt"), "x");
  EXPECT_EQ(Run({L"--help"}), 0);
  EXPECT_NE(Run({}), 0);
  EXPECT_NE(Run({L"frobnicate"}), 0);
  EXPECT_NE(Run({L"keygen", L"--bits", L"100", Path(L"a"), Path(L"b")}), 0);
  EXPECT_NE(Run({L"keygen", L"--bits", L"many", Path(L"a"), Path(L"b")}), 0);
  EXPECT_NE(
      Run({L"pack", L"--public-key", Path(L"missing.pem"), L"--signature", Signature(), Path(L"in.txt"), Path(L"o")}),
      0);
  ASSERT_EQ(Run({L"keygen", Path(L"k.hex"), Path(L"k.pem")}), 0);
  EXPECT_NE(Run({L"pack", L"--public-key", Path(L"k.pem"), L"--signature", L"short", Path(L"in.txt"), Path(L"o")}), 0);
  EXPECT_NE(Run({L"pack", L"--public-key", Path(L"k.hex"), L"--signature", Signature(), Path(L"in.txt"), Path(L"o")}),
            0);
  EXPECT_NE(Run({L"check", Path(L"missing.eif")}), 0);
}

// Catches a report that a description can add lines to: placeholder names and entries may
// hold line feeds and carriage returns, which would let it print "OK: ready to publish".
TEST_F(EifToolTest, CheckReportKeepsDescriptionTextOnItsLines) {
  WriteFileBytes(Path(L"d.ini"),
                 "[Download Sites]\r\na\rOK: ready to publish\r\n[Files to download]/a -> a\r\n"
                 "[X]$\nOK: ready to publish\n$\r\n[End]End");
  std::ostringstream report;
  EXPECT_EQ(CheckDescription(Path(L"d.ini"), GetBuiltInDescriptionKey(), GetBuiltInEifSignature(), report), 1);
  const std::string text = report.str();
  EXPECT_EQ(text.find("\nOK"), std::string::npos) << text;
  EXPECT_EQ(text.find('\r'), std::string::npos) << text;
  EXPECT_NE(text.find("  1. a\\rOK: ready to publish\n"), std::string::npos) << text;
  EXPECT_NE(text.find("placeholder $\\nOK: ready to publish\\n$ names a missing tag"), std::string::npos) << text;
}

struct CCheckCase {
  const char* what;
  const char* text;
  int status;
};

class EifToolCheckTest : public EifToolTest, public ::testing::WithParamInterface<CCheckCase> {};

// Catches a problem that check lets through (status 0), a sound description it refuses, or a
// message box shown by the check.
TEST_P(EifToolCheckTest, Verdict) {
  WriteFileBytes(Path(L"d.txt"), GetParam().text);
  ASSERT_EQ(Run({L"keygen", Path(L"k.hex"), Path(L"k.pem")}), 0);
  ASSERT_EQ(
      Run({L"pack", L"--public-key", Path(L"k.pem"), L"--signature", Signature(), Path(L"d.txt"), Path(L"d.eif")}), 0);
  EXPECT_EQ(Run({L"check", L"--private-key", Path(L"k.hex"), Path(L"d.eif")}), GetParam().status) << GetParam().what;
  WriteFileBytes(Path(L"d.ini"), GetParam().text);
  EXPECT_EQ(Run({L"check", Path(L"d.ini")}), GetParam().status) << GetParam().what;
  EXPECT_TRUE(m_boxes.m_boxes.empty());
}

#define WEBSETUP_SITE "[Download Sites]\r\none.example\r\n"
#define WEBSETUP_GOOD_HEAD WEBSETUP_SITE "[Program to run]a\r\n[User Info Filename]info.txt\r\n"
#define WEBSETUP_LOCAL "[Download Initial Setup]No\r\n"
INSTANTIATE_TEST_SUITE_P(
    Descriptions, EifToolCheckTest,
    ::testing::Values(
        CCheckCase{"sound", WEBSETUP_GOOD_HEAD "[Files to download]\r\n/b -> b.dat\r\n/a -> A\r\n[End]End", 0},
        CCheckCase{"no End", WEBSETUP_GOOD_HEAD "[Files to download]\r\n/a -> a\r\n", 1},
        CCheckCase{"blank line in list", WEBSETUP_GOOD_HEAD "[Files to download]\r\n/a -> a\r\n\r\n/b -> b\r\n[End]End",
                   1},
        CCheckCase{"entry without arrow", WEBSETUP_GOOD_HEAD "[Files to download]\r\n/a a\r\n[End]End", 1},
        CCheckCase{"site as URL",
                   "[Download Sites]http://x.example\r\n[Program to run]a\r\n[User Info Filename]i\r\n"
                   "[Files to download]/a -> a\r\n[End]End",
                   1},
        CCheckCase{"unpaired dollar", WEBSETUP_GOOD_HEAD "[Files to download]\r\n/a$ -> a\r\n[End]End", 1},
        CCheckCase{"missing placeholder tag", WEBSETUP_GOOD_HEAD "[Files to download]\r\n/$X$ -> a\r\n[End]End", 1},
        CCheckCase{"self reference", WEBSETUP_GOOD_HEAD "[Files to download]\r\n/$Y$ -> a\r\n[Y]$Y$\r\n[End]End", 1},
        CCheckCase{"local name with a folder",
                   WEBSETUP_GOOD_HEAD "[Files to download]\r\n/a -> a\r\n/b -> sub\\b\r\n[End]End", 1},
        CCheckCase{"local name a device",
                   WEBSETUP_GOOD_HEAD "[Files to download]\r\n/a -> a\r\n/n -> nul.txt\r\n[End]End", 1},
        CCheckCase{"program not listed", WEBSETUP_GOOD_HEAD "[Files to download]\r\n/b -> b\r\n[End]End", 1},
        CCheckCase{"no files in local mode", WEBSETUP_LOCAL WEBSETUP_GOOD_HEAD "[Files to download]\r\n[End]End", 0},
        CCheckCase{"no files, \"no\" is not local mode",
                   "[Download Initial Setup]no\r\n" WEBSETUP_GOOD_HEAD "[Files to download]\r\n[End]End", 1},
        CCheckCase{"local mode starts an unlisted program",
                   WEBSETUP_LOCAL WEBSETUP_GOOD_HEAD "[Files to download]\r\n/b -> b\r\n[End]End", 0},
        CCheckCase{"program with a folder",
                   WEBSETUP_LOCAL WEBSETUP_SITE "[Program to run]sub\\a\r\n[User Info Filename]i\r\n"
                                                "[Files to download]\r\n[End]End",
                   1},
        CCheckCase{
            "user info file a device",
            WEBSETUP_SITE "[Program to run]a\r\n[User Info Filename]CON\r\n[Files to download]/a -> a\r\n[End]End", 1},
        CCheckCase{"missing Program to run",
                   "[Download Sites]a\r\n[User Info Filename]i\r\n[Files to download]/a -> a\r\n[End]End", 1}));

}  // namespace
