// The range rules of a resumed download over responses made up header by header.
#include "download/resume_rules.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace {
class CHeaderResponse final : public IHttpResponse {
 public:
  CHeaderResponse(int status, std::uint64_t declared, std::map<std::string, std::string> headers)
      : m_status(status), m_declared(declared), m_headers(std::move(headers)) {}
  int StatusCode() const override { return m_status; }
  std::uint64_t DeclaredLength() const override { return m_declared; }
  std::int64_t Read(void*, std::size_t) override { return 0; }
  std::string HeaderValue(const char* name) const override {
    const auto found = m_headers.find(name);
    return found == m_headers.end() ? std::string() : found->second;
  }

 private:
  int m_status;
  std::uint64_t m_declared;
  std::map<std::string, std::string> m_headers;
};

const std::string kTag = "\"5f2a-1b\"";
const std::string kDate = "Wed, 09 Dec 2026 10:00:00 GMT";
}  // namespace

struct CPointCase {
  const char* name;
  int status;
  std::map<std::string, std::string> headers;
  std::uint64_t kept;
  std::optional<std::uint64_t> total;  // none: no resume
  std::string validator;
};

class ResumePointTest : public ::testing::TestWithParam<CPointCase> {};

// Catches a resume offered without byte ranges or a strong validator (the bytes appended could
// belong to another file), or one refused where the server promised both.
TEST_P(ResumePointTest, ResumesOnlyWithRangesAndAStrongValidator) {
  const CPointCase& c = GetParam();
  const CHeaderResponse response(c.status, 1000, c.headers);
  const auto point = ResumePointAfter(response, c.kept);
  ASSERT_EQ(point.has_value(), c.total.has_value());
  if (!point) return;
  EXPECT_EQ(point->offset, c.kept);
  EXPECT_EQ(point->total, *c.total);
  EXPECT_EQ(point->validator, c.validator);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResumePointTest,
    ::testing::Values(
        CPointCase{"StrongETag", 200, {{"Accept-Ranges", "bytes"}, {"ETag", kTag}}, 400, 1000, kTag},
        CPointCase{"ETagBeforeLastModified",
                   200,
                   {{"Accept-Ranges", "bytes"}, {"ETag", kTag}, {"Last-Modified", kDate}},
                   400,
                   1000,
                   kTag},
        CPointCase{"LastModifiedAlone", 200, {{"Accept-Ranges", "Bytes"}, {"Last-Modified", kDate}}, 400, 1000, kDate},
        CPointCase{"UnitInAList", 200, {{"Accept-Ranges", "pages, bytes"}, {"ETag", kTag}}, 400, 1000, kTag},
        CPointCase{"WeakETag",
                   200,
                   {{"Accept-Ranges", "bytes"}, {"ETag", "W/" + kTag}, {"Last-Modified", kDate}},
                   400,
                   std::nullopt,
                   ""},
        CPointCase{"NoValidator", 200, {{"Accept-Ranges", "bytes"}}, 400, std::nullopt, ""},
        CPointCase{"RangesRefused", 200, {{"Accept-Ranges", "none"}, {"ETag", kTag}}, 400, std::nullopt, ""},
        CPointCase{"NoAcceptRanges", 200, {{"ETag", kTag}}, 400, std::nullopt, ""},
        CPointCase{"NothingKept", 200, {{"Accept-Ranges", "bytes"}, {"ETag", kTag}}, 0, std::nullopt, ""},
        CPointCase{"AllKept", 200, {{"Accept-Ranges", "bytes"}, {"ETag", kTag}}, 1000, std::nullopt, ""},
        CPointCase{"AfterAPart", 206, {{"Content-Range", "bytes 400-1999/2000"}, {"ETag", kTag}}, 700, 2000, kTag},
        CPointCase{"ErrorStatus", 503, {{"Accept-Ranges", "bytes"}, {"ETag", kTag}}, 400, std::nullopt, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct CAnswerCase {
  const char* name;
  int status;
  std::uint64_t declared;
  const char* contentRange;
  CResumeAnswer expected;
};

class ResumeAnswerTest : public ::testing::TestWithParam<CAnswerCase> {};

// Catches a part appended at the wrong offset or to a file of another length, or a whole new file
// appended to the kept bytes.
TEST_P(ResumeAnswerTest, AppendsOnlyTheRestOfTheSameFile) {
  const CAnswerCase& c = GetParam();
  const CHeaderResponse response(c.status, c.declared, {{"Content-Range", c.contentRange}});
  EXPECT_EQ(JudgeResumeAnswer(response, CResumePoint{400, 1000, kTag}), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResumeAnswerTest,
    ::testing::Values(CAnswerCase{"TheRest", 206, 600, "bytes 400-999/1000", CResumeAnswer::Continues},
                      CAnswerCase{"TheRestChunked", 206, 0, "bytes 400-999/1000", CResumeAnswer::Continues},
                      CAnswerCase{"WholeFile", 200, 1000, "", CResumeAnswer::WholeFile},
                      CAnswerCase{"OtherOffset", 206, 1000, "bytes 0-999/1000", CResumeAnswer::Other},
                      CAnswerCase{"NotToTheEnd", 206, 100, "bytes 400-499/1000", CResumeAnswer::Other},
                      CAnswerCase{"OtherTotal", 206, 1600, "bytes 400-1999/2000", CResumeAnswer::Other},
                      CAnswerCase{"UnknownTotal", 206, 600, "bytes 400-999/*", CResumeAnswer::Other},
                      CAnswerCase{"LengthDisagrees", 206, 500, "bytes 400-999/1000", CResumeAnswer::Other},
                      CAnswerCase{"NotSatisfiable", 416, 0, "bytes */1000", CResumeAnswer::Other}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a range accepted with its numbers out of order, beyond the total, overflowing, or
// with anything around them.
TEST(ContentRangeTest, TakesOnlyAWellFormedByteRange) {
  const auto range = ParseContentRange(" BYTES 1-2/3 ");
  ASSERT_TRUE(range.has_value());
  EXPECT_EQ(range->first, 1u);
  EXPECT_EQ(range->last, 2u);
  EXPECT_EQ(range->total, 3u);
  EXPECT_TRUE(ParseContentRange("bytes 0-0/1").has_value());
  for (const char* bad : {"bytes 5-4/10", "bytes 0-9/10x", "bytes 1-2/2", "bytes=1-2/3", "bytes 1-2", "bytes -2/3",
                          "bytes 0-18446744073709551616/18446744073709551617", "items 1-2/3", ""}) {
    EXPECT_FALSE(ParseContentRange(bad).has_value()) << bad;
  }
}
