// Our zlib decoder against streams a real zlib made (Python's, at level 0 and 9) and streams
// written bit by bit for what zlib never writes; every refused stream here zlib refuses too.
#include "ui/inflate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/splash_picture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool Inflate(const Bytes& stream, std::size_t size, std::string* output = nullptr) {
  Bytes out(size);
  const bool ok = InflateZlib(stream.data(), stream.size(), out.data(), out.size());
  if (output != nullptr) output->assign(out.begin(), out.end());
  return ok;
}

struct CStreamCase {
  const char* name;
  Bytes stream;
  std::string output;
};

class InflateTest : public testing::TestWithParam<CStreamCase> {};

// Catches a block kind decoded wrongly, and a decoder that takes a stream cut anywhere (in
// the header, a block or the checksum), one that gives or wants a byte more or less than the
// stream holds, a checksum not compared and bytes after it not noticed.
TEST_P(InflateTest, DecodesExactlyTheWholeStream) {
  const CStreamCase& c = GetParam();
  std::string output;
  EXPECT_TRUE(Inflate(c.stream, c.output.size(), &output));
  EXPECT_EQ(output, c.output);
  for (std::size_t cut = 0; cut < c.stream.size(); ++cut) {
    EXPECT_FALSE(Inflate(Bytes(c.stream.begin(), c.stream.begin() + cut), c.output.size())) << "cut at " << cut;
  }
  EXPECT_FALSE(Inflate(c.stream, c.output.size() + 1));
  if (!c.output.empty()) {
    EXPECT_FALSE(Inflate(c.stream, c.output.size() - 1));
  }
  Bytes damaged = c.stream;
  damaged.back() ^= 1;
  EXPECT_FALSE(Inflate(damaged, c.output.size()));
  Bytes longer = c.stream;
  longer.push_back(0);
  EXPECT_FALSE(Inflate(longer, c.output.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, InflateTest,
    testing::Values(CStreamCase{"Stored",
                                {0x78, 0x01, 0x01, 0x0c, 0x00, 0xf3, 0xff, 0x73, 0x74, 0x6f, 0x72, 0x65,
                                 0x64, 0x20, 0x62, 0x79, 0x74, 0x65, 0x73, 0x1f, 0xcf, 0x04, 0xd9},
                                "stored bytes"},
                    CStreamCase{"Empty", {0x78, 0xda, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}, ""},
                    CStreamCase{"FixedCodes",
                                {0x78, 0xda, 0x4b, 0x4c, 0x2a, 0x4a, 0x4c, 0x4e, 0x4c, 0x49, 0x04,
                                 0x52, 0x3a, 0x0a, 0x89, 0x08, 0x0e, 0x00, 0x6f, 0xe6, 0x08, 0xf5},
                                "abracadabra, abracadabra"},
                    CStreamCase{"DynamicCodes",
                                {0x78, 0xda, 0x15, 0x85, 0x01, 0x09, 0x00, 0x00, 0x00, 0x40, 0xb6, 0xf2, 0x7f,
                                 0x84, 0x48, 0x00, 0x2a, 0xde, 0xc3, 0xbc, 0x35, 0xb1, 0x3a, 0x0b, 0x6e},
                                "aaabbbababbbbabbaaaaabbaabaabb"},
                    // One literal, then distance 1 for 258 and 41 bytes: the copy reads what it writes.
                    CStreamCase{"RunAtDistanceOne",
                                {0x78, 0xda, 0xab, 0xaa, 0x1a, 0x05, 0xc4, 0x02, 0x00, 0x12, 0xe4, 0x8e, 0xf9},
                                std::string(300, 'z')},
                    // A fixed block that is not the last, an empty stored block (a full flush), a last one.
                    CStreamCase{"SeveralBlocks",
                                {0x78, 0xda, 0xca, 0xcf, 0x4b, 0x55, 0x48, 0xca, 0xc9, 0x4f, 0xce, 0xd6, 0x51,
                                 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0x2b, 0xc9, 0x48, 0xcd, 0x53, 0x48, 0xcc,
                                 0xcb, 0x2f, 0xc9, 0x48, 0x2d, 0x02, 0x00, 0x63, 0x69, 0x08, 0x7a},
                                "one block, then another"},
                    // 1 + the bytes' sum is 65521, so the checksum stays the same with zeros added: only
                    // the length tells that a byte is missing.
                    CStreamCase{"ChecksumBlindToZeros",
                                {0x78, 0xda, 0xfb, 0xff, 0x7f, 0x64, 0x83, 0x0f, 0x00, 0x08, 0x00, 0x00, 0x00},
                                std::string(256, '\xff') + '\xf0'}),
    [](const testing::TestParamInfo<CStreamCase>& info) { return std::string(info.param.name); });

struct CRefusalCase {
  const char* name;
  Bytes stream;
  std::size_t size;
};

class InflateRefusalTest : public testing::TestWithParam<CRefusalCase> {};

// Catches a malformed stream taken, or read past one of its tables (seen by the sanitizers).
TEST_P(InflateRefusalTest, Refuses) { EXPECT_FALSE(Inflate(GetParam().stream, GetParam().size)); }

INSTANTIATE_TEST_SUITE_P(
    Table, InflateRefusalTest,
    testing::Values(
        // The body of "Empty" behind headers that are not ours to read.
        CRefusalCase{"NotDeflate", {0x77, 0x09, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}, 0},
        CRefusalCase{"WindowOver32K", {0x88, 0x1c, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}, 0},
        CRefusalCase{"HeaderCheckWrong", {0x78, 0xdb, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}, 0},
        CRefusalCase{"PresetDictionary", {0x78, 0x20, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}, 0},
        CRefusalCase{"BlockTypeThree", {0x78, 0x01, 0x07}, 0},
        CRefusalCase{"StoredLengthNotComplemented",
                     {0x78, 0x01, 0x01, 0x03, 0x00, 0xfd, 0xff, 0x61, 0x62, 0x63, 0x02, 0x4d, 0x01, 0x27},
                     3},
        // "a", then 3 bytes from distance 2, one byte before the output begins.
        CRefusalCase{"DistanceBeyondTheOutput", {0x78, 0x01, 0x4b, 0x04, 0x42, 0x00, 0x03, 0xce, 0x01, 0x85}, 4},
        // Codes the fixed code has but no symbol: length 286 and distance 30.
        CRefusalCase{"LengthCode286", {0x78, 0x01, 0x1b, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}, 0},
        CRefusalCase{"DistanceCode30", {0x78, 0x01, 0x4b, 0x04, 0x3e, 0x00, 0x03, 0xce, 0x01, 0x85}, 4},
        // Dynamic headers: a repeat (16) with no length before it; 288 + 32 lengths, more than
        // any block may list. Then two that would make an empty block if they were taken: a
        // repeat running two past the 258 lengths; three 1-bit codes in the code-length code.
        CRefusalCase{"RepeatWithoutPrevious", {0x78, 0x01, 0x05, 0x00, 0x02, 0x24, 0x00, 0x00, 0x00, 0x01}, 0},
        CRefusalCase{
            "TooManyLengths", {0x78, 0x01, 0xfd, 0x1f, 0x80, 0xe4, 0xff, 0x7f, 0x08, 0x00, 0x00, 0x00, 0x01}, 0},
        CRefusalCase{"RepeatPastTheLengths",
                     {0x78, 0x01, 0x05, 0xc0, 0x85, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x7f, 0xeb, 0x06, 0x00, 0x00,
                      0x00, 0x01},
                     0},
        CRefusalCase{"OverSubscribedCode",
                     {0x78, 0x01, 0x05, 0xc0, 0x91, 0x00, 0x00, 0x00, 0x00, 0x00, 0x90, 0xff, 0xff, 0xff, 0xff,
                      0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x01},
                     0}),
    [](const testing::TestParamInfo<CRefusalCase>& info) { return std::string(info.param.name); });

// Catches a window kept shorter than 32 KB (zlib itself never reaches back this far): a stored
// block of 32768 bytes, then a fixed block copying 10 bytes from distance 32768.
TEST(InflateDistanceTest, ReachesBack32768Bytes) {
  std::string expected;
  for (int i = 0; i < 32768; ++i) expected += static_cast<char>((i * 7 + i / 251) & 0xFF);
  Bytes stream = {0x78, 0x01, 0x00, 0x00, 0x80, 0xff, 0x7f};
  stream.insert(stream.end(), expected.begin(), expected.end());
  stream.insert(stream.end(), {0x43, 0xdc, 0xff, 0x0f, 0x00, 0x88, 0xa5, 0xc0, 0x3c});
  expected += expected.substr(0, 10);
  std::string output;
  EXPECT_TRUE(Inflate(stream, expected.size(), &output));
  EXPECT_EQ(output, expected);
}

// Catches a packed picture whose length is not the one checked, and a damaged length that
// makes us allocate whatever it says (4 GB); "stored bytes" behind each length.
TEST(UnpackPictureTest, TakesOnlyTheLengthItsStreamHas) {
  const Bytes stream = {0x78, 0x01, 0x01, 0x0c, 0x00, 0xf3, 0xff, 0x73, 0x74, 0x6f, 0x72, 0x65,
                        0x64, 0x20, 0x62, 0x79, 0x74, 0x65, 0x73, 0x1f, 0xcf, 0x04, 0xd9};
  const struct {
    Bytes length;
    std::string file;
  } cases[] = {
      {{12, 0, 0, 0}, "stored bytes"}, {{11, 0, 0, 0}, ""}, {{13, 0, 0, 0}, ""}, {{0xff, 0xff, 0xff, 0xff}, ""}};
  for (const auto& c : cases) {
    Bytes packed = c.length;
    packed.insert(packed.end(), stream.begin(), stream.end());
    const std::vector<std::uint8_t> file = UnpackPicture(packed.data(), packed.size());
    EXPECT_EQ(std::string(file.begin(), file.end()), c.file) << int{c.length[0]};
  }
  EXPECT_TRUE(UnpackPicture(stream.data(), 3).empty());  // shorter than a length
}

}  // namespace
