// Signed descriptions and the "File Hashes" lines: what a Setup with a signing key accepts,
// and how each hash line is read.
#include <gtest/gtest.h>

#include <functional>

#include "description/file_hashes.h"
#include "description/setup_description.h"
#include "eif_test_support.h"
#include "support/test_support.h"
#include "system/program_folder.h"
#include "system/text.h"

namespace {
const std::string kDescription = "[A]signed[End]End";
// sha256("abc"), as sha256sum prints it.
const std::string kAbcHex = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

CSha256Digest DigestOf(const std::string& hex) {
  CSha256Digest digest{};
  std::wstring name;
  EXPECT_TRUE(ParseFileHashLine(FromUtf8(hex + "  x"), digest, name));
  return digest;
}
}  // namespace

class SignedDescriptionTest : public ::testing::Test {
 protected:
  SignedDescriptionTest() {
    SetProgramFolder(m_temp / L"Setup.exe");
    m_description.RequireSignature(m_key.PublicKey());
  }
  ~SignedDescriptionTest() override { SetProgramFolder(L""); }

  CTempFolder m_temp;
  CMessageBoxRecorder m_boxes;
  CTestSigningKey m_key{7};
  CSetupDescription m_description;
};

// How the file and its ".sig" are laid out, and whether Load must accept them.
struct CSignatureCase {
  const char* name;
  std::function<void(const std::string& eif, const CTestSigningKey& key, std::string& file, std::string& sig)> arrange;
  bool loads;
};

class SignatureCaseTest : public SignedDescriptionTest, public ::testing::WithParamInterface<CSignatureCase> {};

// Catches a signature that is not checked, checked over other bytes than the file's, or
// accepted with trailing bytes or from another key.
TEST_P(SignatureCaseTest, LoadsOnlyWithTheVendorsSignatureOfTheExactBytes) {
  std::string file = MakeEif(kDescription);
  std::string sig = m_key.Sign(file);
  GetParam().arrange(MakeEif(kDescription), m_key, file, sig);
  WriteFileBytes(m_temp / L"SetupInitial.eif", file);
  if (!sig.empty()) WriteFileBytes(m_temp / L"SetupInitial.eif.sig", sig);
  EXPECT_EQ(m_description.Load(L"SetupInitial.eif"), GetParam().loads);
  EXPECT_EQ(m_description.GetValue(L"A"), GetParam().loads ? L"signed" : L"");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SignatureCaseTest,
    ::testing::Values(
        CSignatureCase{"Genuine", [](auto&, auto&, auto&, auto&) {}, true},
        CSignatureCase{"Missing", [](auto&, auto&, auto&, std::string& sig) { sig.clear(); }, false},
        // A fresh encryption of the same text is other bytes: the signature covers the file.
        CSignatureCase{"SameTextOtherEncryption",
                       [](const std::string& eif, auto&, std::string& file, auto&) { file = eif; }, false},
        CSignatureCase{"OneByteChanged", [](auto&, auto&, std::string& file, auto&) { file.back() ^= 1; }, false},
        CSignatureCase{
            "OtherKey",
            [](auto&, auto&, const std::string& file, std::string& sig) { sig = CTestSigningKey(8).Sign(file); },
            false},
        CSignatureCase{"TrailingNewline", [](auto&, auto&, auto&, std::string& sig) { sig += "\n"; }, false},
        CSignatureCase{"Truncated", [](auto&, auto&, auto&, std::string& sig) { sig.pop_back(); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches forged bytes reaching the parser before the signature is checked: a plain file
// without "End" would show the missing-tag message, and an earlier text must survive.
TEST_F(SignedDescriptionTest, UnsignedBytesAreNeverParsed) {
  const std::string earlier = MakeEif(kDescription);
  WriteFileBytes(m_temp / L"earlier.eif", earlier);
  WriteFileBytes(m_temp / L"earlier.eif.sig", m_key.Sign(earlier));
  ASSERT_TRUE(m_description.Load(L"earlier.eif"));
  WriteFileBytes(m_temp / L"forged.ini", "[A]forged");
  EXPECT_FALSE(m_description.Load(L"forged.ini"));
  EXPECT_TRUE(m_boxes.m_boxes.empty());
  EXPECT_EQ(m_description.GetValue(L"A"), L"signed");
}

struct CHashLineCase {
  const char* name;
  std::string line;
  const wchar_t* fileName;  // null: the line is refused
};

class FileHashLineTest : public ::testing::TestWithParam<CHashLineCase> {};

// Catches lines in sha256sum's two forms refused, or digests that are not 64 hex digits, a
// single space, or an escaped name accepted.
TEST_P(FileHashLineTest, ReadsSha256sumLines) {
  CSha256Digest digest{};
  std::wstring name;
  const bool parsed = ParseFileHashLine(FromUtf8(GetParam().line), digest, name);
  ASSERT_EQ(parsed, GetParam().fileName != nullptr);
  if (!parsed) return;
  EXPECT_EQ(name, GetParam().fileName);
  EXPECT_EQ(EncodeHexDigits(digest.data(), digest.size()), kAbcHex);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileHashLineTest,
    ::testing::Values(CHashLineCase{"Text", kAbcHex + "  Setup.exe", L"Setup.exe"},
                      CHashLineCase{"Binary", kAbcHex + " *My File.dat", L"My File.dat"},
                      CHashLineCase{"UpperCaseDigits",
                                    "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD  a", L"a"},
                      CHashLineCase{"SixtyThreeDigits", kAbcHex.substr(1) + "  a", nullptr},
                      CHashLineCase{"SingleSpace", kAbcHex + " a", nullptr},
                      CHashLineCase{"NotHex", "g" + kAbcHex.substr(1) + "  a", nullptr},
                      CHashLineCase{"NoName", kAbcHex + "  ", nullptr},
                      CHashLineCase{"EscapedName", kAbcHex + "  \\a\\nb", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a missing tag that shows a message or demands hashes from older descriptions, lines
// that disagree about a file letting either digest pass, or a malformed line dropped silently.
TEST(FileHashesTest, ListsOneDigestPerNameAndKeepsMalformedLines) {
  CMessageBoxRecorder boxes;
  CSetupDescription description;
  ASSERT_TRUE(description.LoadText(L"[Files to download]\n/a -> a\n[End]End"));
  EXPECT_FALSE(CFileHashes::From(description));
  const std::wstring other(64, L'0');
  const std::wstring abc = FromUtf8(kAbcHex);
  ASSERT_TRUE(description.LoadText(L"[File Hashes]\n" + abc + L"  a\n" + abc + L" *a\n" + abc + L"  b\n" + other +
                                   L"  b\nnot a hash line\n[End]End"));
  const std::optional<CFileHashes> hashes = CFileHashes::From(description);
  ASSERT_TRUE(hashes);
  EXPECT_EQ(hashes->For(L"a"), DigestOf(kAbcHex));
  EXPECT_FALSE(hashes->For(L"b"));
  EXPECT_FALSE(hashes->For(L"A"));
  EXPECT_EQ(hashes->MalformedLines(), std::vector<std::wstring>{L"not a hash line"});
  EXPECT_TRUE(boxes.m_boxes.empty());
}
