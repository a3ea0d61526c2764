// The download worker's timing and error-page rules, over a scripted transport whose reads
// are chosen exactly (empty reads mid-body, endless quiet), which no real server can promise.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "description/file_hashes.h"
#include "description/setup_description.h"
#include "download/download_choice.h"
#include "download/downloader.h"
#include "progress_recorder.h"
#include "support/test_support.h"
#include "system/file_ops.h"
#include "system/text.h"

namespace {
// Reads beyond this many in one response end it with a read failure, so a grace period that
// never ends fails the test instead of hanging it.
constexpr int kMaxReads = 1000;

// Hands out the scripted reads in order ("" is an empty read), then empty reads.
class CScriptedResponse final : public IHttpResponse {
 public:
  CScriptedResponse(std::vector<std::string> reads, std::uint64_t declared, int& emptyReads)
      : m_reads(std::move(reads)), m_declared(declared), m_emptyReads(emptyReads) {}
  int StatusCode() const override { return 200; }
  std::uint64_t DeclaredLength() const override { return m_declared; }
  std::int64_t Read(void* buffer, std::size_t size) override {
    if (++m_count > kMaxReads) return -1;
    const std::string next = m_next < m_reads.size() ? m_reads[m_next++] : std::string();
    if (next.empty()) ++m_emptyReads;
    const std::size_t n = std::min(size, next.size());
    std::memcpy(buffer, next.data(), n);
    return static_cast<std::int64_t>(n);
  }

 private:
  std::vector<std::string> m_reads;
  std::uint64_t m_declared;
  int& m_emptyReads;
  std::size_t m_next = 0;
  int m_count = 0;
};

class CScriptedTransport final : public IHttpTransport {
 public:
  std::unique_ptr<IHttpResponse> Open(const std::wstring&) override {
    ++m_opens;
    return std::make_unique<CScriptedResponse>(m_reads, m_declared, m_emptyReads);
  }
  std::vector<std::string> m_reads;
  std::uint64_t m_declared = 0;
  int m_opens = 0;
  int m_emptyReads = 0;
};
}  // namespace

class DownloadRulesTest : public ::testing::Test {
 protected:
  CDownloader& Downloader(IClock& clock) {
    m_downloader = std::make_unique<CDownloader>(clock, m_transport);
    m_downloader->SetOnlineCheckForTesting([] { return true; });
    return *m_downloader;
  }
  std::wstring Destination() const { return m_temp / L"file.bin"; }

  CTempFolder m_temp;
  CScriptedTransport m_transport;
  CProgressRecorder m_window;
  std::unique_ptr<CDownloader> m_downloader;
};

// Catches data that arrives during the grace period being dropped (or failing the write to
// the file closed for the length check) instead of being appended.
TEST_F(DownloadRulesTest, DataAfterAnEmptyReadIsAppended) {
  m_transport.m_reads = {std::string(1024, 'a'), "", std::string(476, 'b')};
  m_transport.m_declared = 1500;
  CFakeClock clock(1000, 100);
  ASSERT_TRUE(Downloader(clock).DownloadFile(L"http://x/f", Destination(), &m_window));
  EXPECT_EQ(ReadFileBytes(Destination()), std::string(1024, 'a') + std::string(476, 'b'));
  EXPECT_EQ(m_window.m_progress, (ProgressMessages{{1024, 1024}, {476, 1500}, {0, 1500}}));
  EXPECT_EQ(clock.m_sleeps, std::vector<std::uint32_t>{100});
}

class DownloadGraceTest : public DownloadRulesTest, public ::testing::WithParamInterface<std::uint32_t> {};

// Catches a grace period that ends at 20 000 ms instead of after it, one that never ends
// when the tick counter wraps around during the wait, and empty reads without a pause between
// them (a closed connection answers each at once, and the wait spun a core for 20 s).
TEST_P(DownloadGraceTest, EndsOnlyAfterMoreThanTwentySecondsOfPausedReads) {
  m_transport.m_reads = {std::string(100, 'a')};
  m_transport.m_declared = 200;
  // Only the pauses move the clock: empty reads at +0, +100, ... +20000 (still waiting),
  // +20100 (over), so 202 reads and 201 pauses of 100 ms before the 2000 ms retry pause.
  CFakeClock clock(GetParam(), 0);
  EXPECT_FALSE(Downloader(clock).DownloadFile(L"http://x/f", Destination(), nullptr));
  EXPECT_EQ(m_transport.m_opens, 4);
  EXPECT_EQ(m_transport.m_emptyReads, 202 * 4);
  std::vector<std::uint32_t> attempt(201, 100);
  attempt.push_back(2000);
  std::vector<std::uint32_t> expected;
  for (int i = 0; i < 4; ++i) expected.insert(expected.end(), attempt.begin(), attempt.end());
  EXPECT_EQ(clock.m_sleeps, expected);
  EXPECT_FALSE(FileExists(Destination()));
}
INSTANTIATE_TEST_SUITE_P(StartTicks, DownloadGraceTest, ::testing::Values(1000u, 0xFFFFFFFFu - 7000u));

// Catches data during the wait that does not restart the grace period.
TEST_F(DownloadRulesTest, DataRestartsTheGracePeriod) {
  // Each piece of data comes 10 000 ms into a wait: within the period every time, though the
  // waits add up to more than 20 000 ms.
  m_transport.m_reads = {"a", "", "", "", "b", "", "", "", "c"};
  m_transport.m_declared = 3;
  CFakeClock clock(1000, 5000);
  ASSERT_TRUE(Downloader(clock).DownloadFile(L"http://x/f", Destination(), nullptr));
  EXPECT_EQ(ReadFileBytes(Destination()), "abc");
}

// One first chunk and whether it is a not-found page.
struct CPageCase {
  const char* name;
  std::string chunk;
  bool errorPage;
};

class ErrorPageTest : public ::testing::TestWithParam<CPageCase> {};

// Catches a wrong test for not-found pages: case of tags, text past a zero byte, "404"
// outside the title, or two titles.
TEST_P(ErrorPageTest, RecognisesNotFoundTitles) {
  EXPECT_EQ(IsErrorPageChunk(GetParam().chunk.data(), GetParam().chunk.size()), GetParam().errorPage);
}

INSTANTIATE_TEST_SUITE_P(Cases, ErrorPageTest,
                         ::testing::Values(CPageCase{"LowerCaseTags", "<html><title>404 Not Found</title>", true},
                                           CPageCase{"UpperCaseTags", "<TITLE>Error 404</TITLE>", true},
                                           CPageCase{"OtherTitle", "<title>Welcome</title> 404", false},
                                           CPageCase{"AfterZeroByte", std::string("MZ\0<title>404</title>", 21), false},
                                           CPageCase{"TwoTitles", "<title>404</title><title>404</title>", false},
                                           CPageCase{"NoClosingTag", "<title>404 Not Found", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches an error page whose chunk is written or reported, or an attempt that still
// succeeds because the rest of the body happens to make up the declared length.
TEST_F(DownloadRulesTest, ErrorPageChunkIsNeitherWrittenNorReported) {
  const std::string page = "<title>404 Not Found</title>";
  m_transport.m_reads = {page, std::string(100, 'z')};
  m_transport.m_declared = 100;
  CFakeClock clock(1000, 100);
  EXPECT_FALSE(Downloader(clock).DownloadFile(L"http://x/f", Destination(), &m_window));
  ProgressMessages expected;
  for (int i = 0; i < 4; ++i) {
    expected.emplace_back(100, page.size() + 100);
    expected.emplace_back(0, page.size() + 100);
  }
  EXPECT_EQ(m_window.m_progress, expected);
  EXPECT_FALSE(FileExists(Destination()));
}

// Reads of one response and whether its not-found title makes every attempt fail.
struct CPageBoundaryCase {
  const char* name;
  std::vector<std::string> reads;
  bool errorPage;
};

const std::string kTitle = "<title>404 Not Found</title>";

class ErrorPageBoundaryTest : public DownloadRulesTest, public ::testing::WithParamInterface<CPageBoundaryCase> {};

// Catches the test applied only below 1024 bytes received (a page of exactly 1024 bytes kept
// as the file), only to responses that fit in one chunk, or to chunks past the first 1024.
TEST_P(ErrorPageBoundaryTest, OnlyChunksWithinTheFirst1024BytesAreTested) {
  std::string body;
  for (const auto& read : GetParam().reads) body += read;
  m_transport.m_reads = GetParam().reads;
  m_transport.m_declared = body.size();
  CFakeClock clock(1000, 100);
  EXPECT_EQ(Downloader(clock).DownloadFile(L"http://x/f", Destination(), nullptr), !GetParam().errorPage);
  EXPECT_EQ(m_transport.m_opens, GetParam().errorPage ? 4 : 1);
  if (!GetParam().errorPage) {
    EXPECT_EQ(ReadFileBytes(Destination()), body);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ErrorPageBoundaryTest,
    ::testing::Values(CPageBoundaryCase{"PageOfExactly1024Bytes", {kTitle + std::string(1024 - 28, ' ')}, true},
                      CPageBoundaryCase{
                          "PageOf1500Bytes", {kTitle + std::string(1024 - 28, ' '), std::string(476, ' ')}, true},
                      CPageBoundaryCase{"TitleInAChunkEndingAtByte1024", {std::string(996, 'x'), kTitle}, true},
                      CPageBoundaryCase{"TitleInAChunkEndingAtByte1025", {std::string(997, 'x'), kTitle}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A transfer checked against the SHA-256 its description lists.
struct CHashCase {
  const char* name;
  std::vector<std::string> reads;
  std::string expectedHex;  // what the description says the file's SHA-256 is
  bool succeeds;
};

class DownloadHashTest : public DownloadRulesTest, public ::testing::WithParamInterface<CHashCase> {};

// Catches bytes that differ from the listed hash kept as the file, a mismatch that is not
// retried as a failed attempt (four opens, four pauses, the earlier copy back), or data that
// arrives after an empty read left out of the hash.
TEST_P(DownloadHashTest, KeepsOnlyTheListedBytes) {
  const CHashCase& c = GetParam();
  m_transport.m_reads = c.reads;
  m_transport.m_declared = 3;
  WriteFileBytes(Destination(), "earlier copy");
  CSha256Digest expected{};
  std::wstring name;
  ASSERT_TRUE(ParseFileHashLine(FromUtf8(c.expectedHex + "  file.bin"), expected, name));
  CFakeClock clock(1000, 100);
  EXPECT_EQ(Downloader(clock).DownloadFile(L"http://x/f", Destination(), nullptr, expected), c.succeeds);
  EXPECT_EQ(m_transport.m_opens, c.succeeds ? 1 : 4);
  EXPECT_EQ(clock.SleepsOtherThan(100),
            c.succeeds ? std::vector<std::uint32_t>{} : std::vector<std::uint32_t>(4, 2000));
  EXPECT_EQ(ReadFileBytes(Destination()), c.succeeds ? "abc" : "earlier copy");
}

// sha256("abc").
const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

INSTANTIATE_TEST_SUITE_P(Cases, DownloadHashTest,
                         ::testing::Values(CHashCase{"Listed", {"abc"}, kAbc, true},
                                           CHashCase{"Swapped", {"abd"}, kAbc, false},
                                           CHashCase{"DataAfterAnEmptyRead", {"ab", "", "c"}, kAbc, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches a boundary off by one (a host needs 1000 bytes, a site more than 1000), a host or site
// asked after one was chosen, or a site chosen for a description that lists no file.
TEST(DownloadChoiceTest, FirstHostAndSiteThatDeclareEnough) {
  const struct {
    std::vector<std::int64_t> lengths;  // what a, b, c declare
    const wchar_t* host;
    const wchar_t* site;
    int asked;  // of the sites
  } rows[] = {
      {{1000, 5000, 5000}, L"a", L"b", 2},
      {{999, 1000, 1001}, L"b", L"c", 3},
      {{0, 0, 0}, L"", L"", 3},
      {{1001, 0, 0}, L"a", L"a", 1},
  };
  for (const auto& row : rows) {
    const auto lengthOf = [&row](const std::wstring& where) { return row.lengths[static_cast<std::size_t>(where[0] - L'a')]; };
    int asked = 0;
    EXPECT_EQ(ChooseDescriptionHost({L"a", L"b", L"c"}, lengthOf), row.host);
    CSetupDescription description;
    ASSERT_TRUE(description.LoadText(L"[Download Sites]\r\na\r\nb\r\nc\r\n[Files to download]\r\n/f -> f\r\n[End]End"));
    EXPECT_EQ(ChooseDownloadSite(description, [&](const std::wstring& site) { return ++asked, lengthOf(site); }), row.site);
    EXPECT_EQ(asked, row.asked);
  }
  CSetupDescription empty;
  ASSERT_TRUE(empty.LoadText(L"[Download Sites]\r\na\r\n[Files to download]\r\n[End]End"));
  EXPECT_EQ(ChooseDownloadSite(empty, [](const std::wstring&) { return std::int64_t{5000}; }), L"");
}
