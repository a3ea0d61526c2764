// The download worker through the platform's real HTTP transport, against a loopback server
// that misbehaves on purpose; pauses and the grace period run on the fake clock.
#include "download/downloader.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "progress_recorder.h"
#include "support/loopback_server.h"
#include "support/test_support.h"
#include "system/file.h"
#include "system/file_ops.h"
#include "websetup_config.h"

namespace {
const std::vector<std::uint32_t> kFourPauses{2000, 2000, 2000, 2000};
// The pause between the empty reads of a grace period; the rules tests count those.
constexpr std::uint32_t kEmptyReadPause = 100;
// Lets the grace period of 20 000 ms pass after a couple of hundred empty reads.
constexpr std::uint32_t kFakeMsPerTick = 100;
}  // namespace

class DownloaderTest : public ::testing::Test {
 protected:
  DownloaderTest() {
    m_downloader.SetOnlineCheckForTesting([] { return true; });
  }

  bool Download(const std::string& path, WindowHandle window) {
    return m_downloader.DownloadFile(m_server.Url(path), Destination(), window);
  }
  std::wstring Destination() const { return m_temp / L"file.bin"; }
  std::wstring Backup() const { return Destination() + kBackupSuffix; }

  CDirectLoopback m_direct;
  CLoopbackServer m_server;
  CTempFolder m_temp;
  CFakeClock m_clock{1000, kFakeMsPerTick};
  CDownloader m_downloader{m_clock};
  CProgressRecorder m_window;
};

// Catches a download attempted, paused or reported while the machine is offline.
TEST_F(DownloaderTest, OfflineFailsAtOnceAndTouchesNothing) {
  m_server.Serve("/f", FileResponse("new"));
  WriteFileBytes(Destination(), "old");
  m_downloader.SetOnlineCheckForTesting([] { return false; });
  EXPECT_FALSE(Download("/f", &m_window));
  EXPECT_TRUE(m_clock.m_sleeps.empty());
  EXPECT_TRUE(m_window.m_progress.empty());
  EXPECT_EQ(ReadFileBytes(Destination()), "old");
  EXPECT_FALSE(FileExists(Backup()));
  EXPECT_EQ(m_server.RequestCount("/f"), 0);
}

class DownloaderWindowTest : public DownloaderTest, public ::testing::WithParamInterface<bool> {};

// Catches wrong chunk sizes or running totals, a missing end message, or messages sent to a
// null window.
TEST_P(DownloaderWindowTest, ReportsEveryChunkThenTheEnd) {
  const std::string body = GeneratedBody(2500);
  m_server.Serve("/f", FileResponse(body));
  const bool withWindow = GetParam();
  ASSERT_TRUE(Download("/f", withWindow ? &m_window : nullptr));
  EXPECT_EQ(ReadFileBytes(Destination()), body);
  const ProgressMessages expected{{1024, 1024}, {1024, 2048}, {452, 2500}, {0, 2500}};
  EXPECT_EQ(m_window.m_progress, withWindow ? expected : ProgressMessages{});
  EXPECT_EQ(m_window.m_otherMessages, 0);
  EXPECT_TRUE(m_clock.m_sleeps.empty());
  EXPECT_FALSE(FileExists(Backup()));
}
INSTANTIATE_TEST_SUITE_P(Window, DownloaderWindowTest, ::testing::Bool());

// One server behaviour that a download survives, and the file it must leave.
struct CGoodCase {
  const char* name;
  std::function<void(CLoopbackServer&)> serve;  // serves "/f"
  std::string expected;
};

class DownloaderGoodTest : public DownloaderTest, public ::testing::WithParamInterface<CGoodCase> {};

// Catches responses that are complete by their length being rejected, or kept wrongly.
TEST_P(DownloaderGoodTest, KeepsTheWholeFileWithoutRetrying) {
  GetParam().serve(m_server);
  ASSERT_TRUE(Download("/f", &m_window));
  EXPECT_EQ(ReadFileBytes(Destination()), GetParam().expected);
  EXPECT_TRUE(m_clock.m_sleeps.empty());
  ASSERT_FALSE(m_window.m_progress.empty());
  EXPECT_EQ(m_window.m_progress.back(), (std::pair<WPARAM_T, LPARAM_T>(0, GetParam().expected.size())));
}

const std::string kLatePage = std::string(1024, 'x') + "<title>404 Not Found</title>";
const std::string kTwoTitles = "<title>404 Not Found</title><title>404</title> but a real file";

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloaderGoodTest,
    ::testing::Values(CGoodCase{"NoLengthEmptyBody", [](CLoopbackServer& s) { s.Serve("/f", CServedResponse{}); }, ""},
                      CGoodCase{"ChunkedEmptyBody",
                                [](CLoopbackServer& s) {
                                  CServedResponse r;
                                  r.chunked = true;
                                  s.Serve("/f", r);
                                },
                                ""},
                      CGoodCase{"TitleAfterFirstChunk",
                                [](CLoopbackServer& s) { s.Serve("/f", FileResponse(kLatePage)); }, kLatePage},
                      CGoodCase{"TwoTitleElements", [](CLoopbackServer& s) { s.Serve("/f", FileResponse(kTwoTitles)); },
                                kTwoTitles},
                      CGoodCase{"MoreSentThanDeclared",
                                [](CLoopbackServer& s) {
                                  CServedResponse r = FileResponse(GeneratedBody(2500));
                                  r.declaredLength = 2000;
                                  s.Serve("/f", r);
                                },
                                GeneratedBody(2000)},
                      CGoodCase{"StallThenContinue",
                                [](CLoopbackServer& s) {
                                  CServedResponse r = FileResponse(GeneratedBody(3000));
                                  r.stallAfterBytes = 1500;
                                  r.stallMs = 300;
                                  s.Serve("/f", r);
                                },
                                GeneratedBody(3000)},
                      CGoodCase{"Redirect301",
                                [](CLoopbackServer& s) {
                                  s.Serve("/f", RedirectResponse(301, "/target"));
                                  s.Serve("/target", FileResponse("moved here"));
                                },
                                "moved here"},
                      CGoodCase{"Redirect302ToAbsoluteUrl",
                                [](CLoopbackServer& s) {
                                  s.Serve("/f", RedirectResponse(302, s.Origin() + "/target"));
                                  s.Serve("/target", FileResponse("found here"));
                                },
                                "found here"}),
    [](const auto& info) { return std::string(info.param.name); });

// One server behaviour that every attempt fails on.
struct CBadCase {
  const char* name;
  std::function<void(CLoopbackServer&)> serve;  // serves "/f"
  bool reachesReadLoop;                         // each attempt ends with an end message
  bool loops = false;                           // the client asks "/f" again by itself
};

class DownloaderBadTest : public DownloaderTest, public ::testing::WithParamInterface<CBadCase> {};

// Catches a bad response accepted as the file, a wrong number of attempts or pauses, a kept
// partial file, or an error page reported as progress.
TEST_P(DownloaderBadTest, FailsAfterFourAttemptsAndFourPauses) {
  if (kIsWindows && GetParam().loops) GTEST_SKIP() << "WinINet under wine follows a redirect loop without limit";
  GetParam().serve(m_server);
  EXPECT_FALSE(Download("/f", &m_window));
  EXPECT_EQ(m_clock.SleepsOtherThan(kEmptyReadPause), kFourPauses);
  if (GetParam().loops) {
    EXPECT_GT(m_server.RequestCount("/f"), 4);
  } else {
    EXPECT_EQ(m_server.RequestCount("/f"), 4);
  }
  EXPECT_FALSE(FileExists(Destination()));
  int ends = 0;
  for (const auto& message : m_window.m_progress) ends += message.first == 0 ? 1 : 0;
  EXPECT_EQ(ends, GetParam().reachesReadLoop ? 4 : 0);
}

const std::string kNotFoundPage = "<html><head><title>404 Not Found</title></head><body>gone</body></html>";

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloaderBadTest,
    ::testing::Values(
        CBadCase{"NoLengthWithBody",
                 [](CLoopbackServer& s) {
                   CServedResponse r;
                   r.body = "no length";
                   s.Serve("/f", r);
                 },
                 true},
        CBadCase{"ChunkedWithBody",
                 [](CLoopbackServer& s) {
                   CServedResponse r;
                   r.body = GeneratedBody(3000);
                   r.chunked = true;
                   s.Serve("/f", r);
                 },
                 true},
        CBadCase{"DeclaresMoreThanSent",
                 [](CLoopbackServer& s) {
                   CServedResponse r = FileResponse(GeneratedBody(2000));
                   r.declaredLength = 3000;
                   s.Serve("/f", r);
                 },
                 true},
        // A 32-bit comparison would see 4 GiB + 100 declared as the 100 bytes sent.
        CBadCase{"DeclaresBeyondFourGiB",
                 [](CLoopbackServer& s) {
                   CServedResponse r = FileResponse(GeneratedBody(100));
                   r.declaredLength = (std::uint64_t{1} << 32) + 100;
                   s.Serve("/f", r);
                 },
                 true},
        CBadCase{"NotFoundPageWithStatus200", [](CLoopbackServer& s) { s.Serve("/f", FileResponse(kNotFoundPage)); },
                 true},
        CBadCase{"NotFoundPageWithStatus404",
                 [](CLoopbackServer& s) { s.Serve("/f", WithStatus(FileResponse(kNotFoundPage), 404, "Not Found")); },
                 false},
        // 400 is the first error status: the body is a plain file by every other rule.
        CBadCase{"BadRequestWithPlainBody",
                 [](CLoopbackServer& s) {
                   s.Serve("/f", WithStatus(FileResponse(GeneratedBody(5000)), 400, "Bad Request"));
                 },
                 false},
        CBadCase{"ServerErrorWithPlainBody",
                 [](CLoopbackServer& s) {
                   s.Serve("/f", WithStatus(FileResponse(GeneratedBody(5000)), 500, "Internal Server Error"));
                 },
                 false},
        CBadCase{"RedirectToMissingFile", [](CLoopbackServer& s) { s.Serve("/f", RedirectResponse(302, "/gone")); },
                 false},
        CBadCase{"RedirectLoop", [](CLoopbackServer& s) { s.Serve("/f", RedirectResponse(302, "/f")); }, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a refused connection retried without pauses, or reported as progress.
TEST_F(DownloaderTest, RefusedConnectionFailsWithoutMessages) {
  EXPECT_FALSE(m_downloader.DownloadFile(RefusedUrl("/f"), Destination(), &m_window));
  EXPECT_EQ(m_clock.SleepsOtherThan(kEmptyReadPause), kFourPauses);
  EXPECT_TRUE(m_window.m_progress.empty());
  EXPECT_FALSE(FileExists(Destination()));
}

// Catches a retry that is not reported from the start again, or a second attempt that appends
// to the first one's partial file.
TEST_F(DownloaderTest, RetryAfterCutReportsBothAttempts) {
  const std::string body = GeneratedBody(3000);
  CServedResponse cut = FileResponse(body);
  cut.closeAfterBytes = 1500;
  m_server.Serve("/f", {cut, FileResponse(body)});
  ASSERT_TRUE(Download("/f", &m_window));
  EXPECT_EQ(ReadFileBytes(Destination()), body);
  EXPECT_EQ(m_clock.SleepsOtherThan(kEmptyReadPause), std::vector<std::uint32_t>{2000});
  const ProgressMessages expected{{1024, 1024}, {476, 1500},  {0, 1500},  // the cut attempt
                                  {1024, 1024}, {1024, 2048}, {952, 3000}, {0, 3000}};
  EXPECT_EQ(m_window.m_progress, expected);
}

// The earlier state of the destination folder, and how the download ends.
struct CBackupCase {
  const char* name;
  bool destinationBefore;
  bool backupBefore;
  bool succeeds;
  const char* destinationAfter;  // null: absent
  const char* backupAfter;       // null: absent
};

class DownloaderBackupTest : public DownloaderTest, public ::testing::WithParamInterface<CBackupCase> {};

// Catches an earlier file lost or replaced by a partial one after a failure, an older backup
// copy overwritten, or a backup copy removed after success.
TEST_P(DownloaderBackupTest, KeepsEarlierContent) {
  const CBackupCase& c = GetParam();
  if (c.destinationBefore) WriteFileBytes(Destination(), "earlier");
  if (c.backupBefore) WriteFileBytes(Backup(), "older");
  CServedResponse response = FileResponse("fresh content");
  if (!c.succeeds) response.closeAfterBytes = 5;
  m_server.Serve("/f", response);
  EXPECT_EQ(Download("/f", nullptr), c.succeeds);
  ASSERT_EQ(FileExists(Destination()), c.destinationAfter != nullptr);
  if (c.destinationAfter != nullptr) {
    EXPECT_EQ(ReadFileBytes(Destination()), c.destinationAfter);
  }
  ASSERT_EQ(FileExists(Backup()), c.backupAfter != nullptr);
  if (c.backupAfter != nullptr) {
    EXPECT_EQ(ReadFileBytes(Backup()), c.backupAfter);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloaderBackupTest,
    ::testing::Values(CBackupCase{"NewFile", false, false, true, "fresh content", nullptr},
                      CBackupCase{"ReplacedKeepsBackup", true, false, true, "fresh content", "earlier"},
                      CBackupCase{"FailureRestoresEarlier", true, false, false, "earlier", nullptr},
                      CBackupCase{"OlderBackupStays", true, true, true, "fresh content", "older"},
                      CBackupCase{"FailureRestoresOlderBackup", true, true, false, "older", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// A full disk met with the write of block number failingWrite (counted from 1).
struct CWriteCase {
  const char* name;
  std::size_t bodyBytes;
  int failingWrite;
  std::size_t reportedBytes;  // received when the failure ended the attempt
};

class DownloaderWriteTest : public DownloaderTest, public ::testing::WithParamInterface<CWriteCase> {};

// Catches retries after a full disk, a failed write that goes unnoticed or unreported, or an
// earlier file not restored.
TEST_P(DownloaderWriteTest, FailedWriteEndsAllAttempts) {
  const CWriteCase& c = GetParam();
  WriteFileBytes(Destination(), "earlier");
  m_server.Serve("/f", FileResponse(GeneratedBody(c.bodyBytes)));
  int writes = 0;
  m_downloader.SetChunkWriterForTesting([&writes, &c](CFile& file, const void* data, std::size_t size) {
    return ++writes < c.failingWrite && file.Write(data, size);
  });
  EXPECT_FALSE(Download("/f", &m_window));
  EXPECT_EQ(writes, c.failingWrite);
  EXPECT_EQ(m_clock.m_sleeps, std::vector<std::uint32_t>{2000});
  EXPECT_EQ(m_server.RequestCount("/f"), 1);
  const std::size_t chunks = (c.reportedBytes + kReadChunkBytes - 1) / kReadChunkBytes;
  ASSERT_EQ(m_window.m_progress.size(), chunks + 1);
  EXPECT_EQ(m_window.m_progress[chunks - 1].second, static_cast<LPARAM_T>(c.reportedBytes));
  EXPECT_EQ(m_window.m_progress.back(), (std::pair<WPARAM_T, LPARAM_T>(0, c.reportedBytes)));
  EXPECT_EQ(ReadFileBytes(Destination()), "earlier");
  EXPECT_FALSE(FileExists(Backup()));
}

INSTANTIATE_TEST_SUITE_P(Cases, DownloaderWriteTest,
                         ::testing::Values(CWriteCase{"SecondBlock", 3 * kWriteBufferBytes, 2, 2 * kWriteBufferBytes},
                                           CWriteCase{"LastPartialBlock", 5000, 1, 5000}),
                         [](const auto& info) { return std::string(info.param.name); });

// A file of 3000 bytes, a server that answers each request of it in turn, and what the download
// must do with a description that lists the file's SHA-256.
struct CResumeCase {
  const char* name;
  std::vector<CServedResponse> responses;  // the i-th request's, the last for every later one
  std::string expected;                    // what the file must hold; empty: the download fails
  std::vector<bool> ranges;                // whether each request asked for the rest only
  bool hashed = true;                      // the caller gives the file's SHA-256
};

class DownloaderResumeTest : public DownloaderTest, public ::testing::WithParamInterface<CResumeCase> {};

const std::string kResumeBody = GeneratedBody(3000);

CSha256Digest Sha256Of(const std::string& bytes) {
  CSha256Stream hash;
  hash.Update(bytes.data(), bytes.size());
  return hash.Final().value_or(CSha256Digest{});
}
const std::string kChangedBody = std::string(3000, 'n');

CServedResponse Ranged(const std::string& body, const std::string& etag, std::optional<std::uint64_t> cutAfter) {
  CServedResponse response = FileResponse(body);
  response.acceptRanges = true;
  response.etag = etag;
  response.closeAfterBytes = cutAfter;
  return response;
}

// Catches a retry that starts from zero where the server offers the rest, bytes of a changed
// file appended to the kept ones, a resume without ranges, a strong validator or a hash to vouch
// for it, a resumed file that fails its hash kept or resumed again, and partial files left over.
TEST_P(DownloaderResumeTest, GoesOnFromTheKeptBytesOnlyWhenTheServerVouches) {
  const CResumeCase& c = GetParam();
  WriteFileBytes(Destination(), "earlier");
  m_server.Serve("/f", c.responses);
  const auto digest = Sha256Of(c.expected.empty() ? kResumeBody : c.expected);
  const bool done = m_downloader.DownloadFile(m_server.Url("/f"), Destination(), &m_window,
                                              c.hashed ? std::optional(digest) : std::nullopt);
  EXPECT_EQ(done, !c.expected.empty());
  EXPECT_EQ(ReadFileBytes(Destination()), done ? c.expected : "earlier");
  EXPECT_EQ(FileExists(Backup()), done);
  EXPECT_FALSE(FileExists(Destination() + kPartialSuffix));
  const std::vector<std::string> heads = m_server.RequestHeads();
  ASSERT_EQ(heads.size(), c.ranges.size());
  for (std::size_t i = 0; i < heads.size(); ++i) {
    EXPECT_EQ(heads[i].find("\r\nRange: bytes=") != std::string::npos, c.ranges[i]) << heads[i];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloaderResumeTest,
    ::testing::Values(
        // Every connection cut after 1000 bytes: three attempts bring the whole file.
        CResumeCase{"CutEveryThird", {Ranged(kResumeBody, "\"v1\"", 1000)}, kResumeBody, {false, true, true}},
        // Cut after 500 each time: four attempts bring 2000 bytes; nothing of them stays.
        CResumeCase{"NeverWhole", {Ranged(kResumeBody, "\"v1\"", 500)}, "", {false, true, true, true}},
        // Changed on the server: If-Range no longer matches, the whole new file comes.
        CResumeCase{"ChangedBetweenAttempts",
                    {Ranged(kResumeBody, "\"v1\"", 1500), Ranged(kChangedBody, "\"v2\"", std::nullopt)},
                    kChangedBody,
                    {false, true}},
        CResumeCase{"NoRanges",
                    {[] {
                       CServedResponse r = Ranged(kResumeBody, "\"v1\"", 1500);
                       r.acceptRanges = false;
                       return r;
                     }(),
                     FileResponse(kResumeBody)},
                    kResumeBody,
                    {false, false}},
        CResumeCase{"WeakETag",
                    {Ranged(kResumeBody, "W/\"v1\"", 1500), FileResponse(kResumeBody)},
                    kResumeBody,
                    {false, false}},
        // The rest served from other bytes: the whole file fails its hash and comes again from zero.
        CResumeCase{"ResumedFileFailsItsHash",
                    {Ranged(kResumeBody, "\"v1\"", 1500), Ranged(kChangedBody, "\"v1\"", std::nullopt),
                     Ranged(kResumeBody, "\"v1\"", std::nullopt)},
                    kResumeBody,
                    {false, true, false}},
        CResumeCase{"NoHashNoResume",
                    {Ranged(kResumeBody, "\"v1\"", 1500), FileResponse(kResumeBody)},
                    kResumeBody,
                    {false, false},
                    false}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a progress bar sent back to zero by a resumed attempt, or the kept bytes reported twice.
TEST_F(DownloaderTest, ResumedAttemptReportsFromTheKeptBytesOn) {
  m_server.Serve("/f", {Ranged(kResumeBody, "\"v1\"", 1500), Ranged(kResumeBody, "\"v1\"", std::nullopt)});
  ASSERT_TRUE(m_downloader.DownloadFile(m_server.Url("/f"), Destination(), &m_window, Sha256Of(kResumeBody)));
  const ProgressMessages expected{{1024, 1024}, {476, 1500}, {0, 1500},  // the cut attempt
                                  {1024, 2524}, {476, 3000}, {0, 3000}};
  EXPECT_EQ(m_window.m_progress, expected);
  EXPECT_EQ(m_server.LastBodyBytesSent("/f"), 1500u);
  const std::vector<std::string> heads = m_server.RequestHeads();
  ASSERT_EQ(heads.size(), 2u);
  EXPECT_NE(heads[1].find("\r\nRange: bytes=1500-\r\nIf-Range: \"v1\""), std::string::npos) << heads[1];
}
