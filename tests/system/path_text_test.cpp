// Path splitting and joining, and the text conversions the core relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "system/path.h"
#include "system/text.h"
#include "websetup_config.h"

namespace {
std::wstring Native(std::wstring path) {
  for (auto& c : path) {
    if (c == L'/' || c == L'\\') c = kPathSeparator;
  }
  return path;
}
}  // namespace

struct SplitCase {
  std::wstring path;
  std::wstring folder;  // written with '/', compared in the platform's separator
  std::wstring name;
};

class SplitPathTest : public ::testing::TestWithParam<SplitCase> {};

// Catches splitting at the wrong separator or losing the folder's trailing separator.
TEST_P(SplitPathTest, SplitsAtTheLastSeparatorOfEitherKind) {
  std::wstring folder, name;
  SplitPath(GetParam().path, folder, name);
  EXPECT_EQ(folder, Native(GetParam().folder));
  EXPECT_EQ(name, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Paths, SplitPathTest,
                         ::testing::Values(SplitCase{L"C:\\x\\Setup_MyApp_.exe", L"C:/x/", L"Setup_MyApp_.exe"},
                                           SplitCase{L"C:\\x/sub/a.txt", L"C:/x/sub/", L"a.txt"},
                                           SplitCase{L"/tmp/folder/", L"/tmp/folder/", L""},
                                           SplitCase{L"plain.exe", L"", L"plain.exe"}));

// Catches doubled or missing separators when joining.
TEST(PathTest, JoinAndStripUseOneSeparator) {
  const std::wstring sep(1, kPathSeparator);
  EXPECT_EQ(JoinPath(L"a", L"b"), L"a" + sep + L"b");
  EXPECT_EQ(JoinPath(L"a" + sep, L"b"), L"a" + sep + L"b");
  EXPECT_EQ(StripTrailingSeparator(L"C:\\"), L"C:");
  EXPECT_EQ(StripTrailingSeparator(L"C:\\x\\\\"), L"C:\\x\\");  // only one is removed
  EXPECT_EQ(StripTrailingSeparator(L""), L"");
}

// Catches upper-casing beyond ASCII, which would change names the system compares exactly.
TEST(TextTest, AsciiUpperChangesOnlyAsciiLetters) {
  EXPECT_EQ(AsciiUpper(L"Download sites \u00e4\u00df z"), L"DOWNLOAD SITES \u00e4\u00df Z");
}

// Catches swapped digits, a sign-extended byte (0x80 and up), the wrong letter case, or a
// length that is not two digits a byte; the decoder reads back what the encoder wrote.
TEST(TextTest, HexDigitsBothWays) {
  const std::uint8_t bytes[] = {0x00, 0x0f, 0x10, 0x7f, 0x80, 0xa5, 0xff};
  EXPECT_EQ(EncodeHexDigits(bytes, sizeof(bytes)), "000f107f80a5ff");
  EXPECT_EQ(EncodeHexDigits(bytes, sizeof(bytes), HexCase::Upper), "000F107F80A5FF");
  EXPECT_EQ(EncodeHexDigits(bytes, 0), "");
  std::uint8_t decoded[sizeof(bytes)] = {};
  ASSERT_TRUE(DecodeHexDigits(L"000F107f80A5ff", decoded, sizeof(decoded)));
  EXPECT_TRUE(std::equal(std::begin(bytes), std::end(bytes), std::begin(decoded)));
  EXPECT_FALSE(DecodeHexDigits(L"000f107f80a5f", decoded, sizeof(decoded)));
  EXPECT_FALSE(DecodeHexDigits(L"000f107f80a5fg", decoded, sizeof(decoded)));
}

// Catches broken UTF-8 for characters outside the basic plane (surrogates on Windows).
TEST(TextTest, Utf8RoundTripsEveryPlane) {
  const std::wstring text = L"a\u00e9\u20ac\U0001F600z";
  EXPECT_EQ(ToUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
}

// Catches a lone surrogate (high, low, or a high one before a pair) written as bytes that
// are no UTF-8, dropped, or swallowing the character behind it.
TEST(TextTest, LoneSurrogatesBecomeOneReplacementCharacter) {
  const auto unit = [](unsigned value) { return static_cast<wchar_t>(value); };
  EXPECT_EQ(ToUtf8(std::wstring{L'a', unit(0xD800), L'b'}),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(ToUtf8(std::wstring{L'a', unit(0xDC00), L'b'}),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(ToUtf8(std::wstring{L'a', unit(0xDBFF)}), "a\xEF\xBF\xBD");
  if (kIsWindows) {
    EXPECT_EQ(ToUtf8(std::wstring{unit(0xD800), unit(0xD83D), unit(0xDE00)}), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
  }
}

// Catches 8-bit text that loses Windows-1252 bytes written on Windows.
TEST(TextTest, NarrowTextReadsUtf8AndFallsBackToWindows1252) {
  EXPECT_EQ(DecodeNarrowText("plain ASCII"), L"plain ASCII");
  if (kIsWindows) return;  // the ANSI code page decides on Windows
  EXPECT_EQ(DecodeNarrowText("caf\xC3\xA9"), L"caf\u00e9");
  EXPECT_EQ(DecodeNarrowText("caf\xE9 \x80 \x96"), L"caf\u00e9 \u20ac \u2013");
  EXPECT_EQ(DecodeNarrowText("\xC3"), L"\u00c3");  // a cut sequence is read byte by byte
}
