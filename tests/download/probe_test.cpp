// The URL probe and the standard request through the platform's real HTTP transport, against
// the loopback server.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "download/connection.h"
#include "progress_recorder.h"
#include "support/loopback_server.h"
#include "support/test_support.h"
#include "websetup_config.h"

class ProbeTest : public ::testing::Test {
 protected:
  CDirectLoopback m_direct;
  CLoopbackServer m_server;
};

// One resource and the length the probe must report for it.
struct CProbeCase {
  const char* name;
  std::function<void(CLoopbackServer&)> serve;  // serves "/f"
  std::int64_t expected;
  bool endless = false;  // a redirect loop
};

class ProbeCaseTest : public ProbeTest, public ::testing::WithParamInterface<CProbeCase> {};

// Catches a probe that reports a length for what is no file, misses a redirect, or turns a
// large length negative.
TEST_P(ProbeCaseTest, ReportsTheDeclaredLengthOfTheFile) {
  if (kIsWindows && GetParam().endless) GTEST_SKIP() << "WinINet under wine follows a redirect loop without limit";
  ASSERT_TRUE(m_server.IsListening());
  GetParam().serve(m_server);
  EXPECT_EQ(ProbeUrlLength(m_server.Url("/f")), GetParam().expected);
}

CServedResponse Page(int status, const char* reason) {
  return WithStatus(FileResponse("<title>Not Found</title>" + std::string(276, ' ')), status, reason);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProbeCaseTest,
    ::testing::Values(
        CProbeCase{"File", [](CLoopbackServer& s) { s.Serve("/f", FileResponse(GeneratedBody(4321))); }, 4321},
        CProbeCase{"Chunked",
                   [](CLoopbackServer& s) {
                     CServedResponse r;
                     r.body = GeneratedBody(4321);
                     r.chunked = true;
                     s.Serve("/f", r);
                   },
                   0},
        // The caller rejects such a page by its size.
        CProbeCase{"ErrorPageWithStatus200", [](CLoopbackServer& s) { s.Serve("/f", Page(200, "OK")); }, 300},
        CProbeCase{"ErrorPageWithStatus404", [](CLoopbackServer& s) { s.Serve("/f", Page(404, "Not Found")); }, 0},
        // 400 is the first error status.
        CProbeCase{"ErrorPageWithStatus400", [](CLoopbackServer& s) { s.Serve("/f", Page(400, "Bad Request")); }, 0},
        // Only the status line gives the status: a header that looks like one does not.
        CProbeCase{"HeaderLikeAStatusLine",
                   [](CLoopbackServer& s) {
                     CServedResponse r = Page(404, "Not Found");
                     r.extraHeaders = "http/1.1: 200\r\n";
                     s.Serve("/f", r);
                   },
                   0},
        CProbeCase{"LargeServerError",
                   [](CLoopbackServer& s) {
                     CServedResponse r = Page(503, "Service Unavailable");
                     r.declaredLength = 5000000;
                     r.closeAfterBytes = 0;
                     s.Serve("/f", r);
                   },
                   0},
        CProbeCase{"Redirect",
                   [](CLoopbackServer& s) {
                     s.Serve("/f", RedirectResponse(301, "/target"));
                     s.Serve("/target", FileResponse(GeneratedBody(2345)));
                   },
                   2345},
        // The redirect's own length ("moved": 5 bytes) is not the file's.
        CProbeCase{"RedirectToAFileWithoutLength",
                   [](CLoopbackServer& s) {
                     s.Serve("/f", RedirectResponse(302, "/target"));
                     CServedResponse r = FileResponse(GeneratedBody(2345));
                     r.declaredLength.reset();
                     r.chunked = true;
                     s.Serve("/target", r);
                   },
                   0},
        CProbeCase{"RedirectLoop", [](CLoopbackServer& s) { s.Serve("/f", RedirectResponse(302, "/f")); }, 0, true},
        CProbeCase{"ThreeGiB",
                   [](CLoopbackServer& s) {
                     CServedResponse r = FileResponse("");
                     r.declaredLength = std::uint64_t{3} << 30;
                     s.Serve("/f", r);
                   },
                   std::int64_t{3} << 30}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a probe that fails to fail when nothing listens (the unreachable-host case that
// loopback can show).
TEST_F(ProbeTest, RefusedConnectionYieldsZero) { EXPECT_EQ(ProbeUrlLength(RefusedUrl("/f")), 0); }

// Catches a probe that downloads the body it only needs the length of.
TEST_F(ProbeTest, ClosesAfterTheHeaders) {
  constexpr std::uint64_t kLarge = 256ull << 20;
  CServedResponse large;
  large.generatedBytes = kLarge;
  large.declaredLength = kLarge;
  // The body waits until the client has had time to leave: WinINet under wine drains whatever
  // body is ready when a handle closes, so only a late body tells closing from reading.
  large.stallMs = 100;
  m_server.Serve("/large", large);
  m_server.Serve("/small", FileResponse("x"));
  EXPECT_EQ(ProbeUrlLength(m_server.Url("/large")), static_cast<std::int64_t>(kLarge));
  // The server answers one connection at a time: once the second probe is answered, the
  // first answer has ended, cut short by the client.
  EXPECT_EQ(ProbeUrlLength(m_server.Url("/small")), 1);
  EXPECT_LT(m_server.LastBodyBytesSent("/large"), kLarge);
}

// Catches requests that could be answered from a cache, or that do not introduce themselves.
TEST_F(ProbeTest, SendsTheStandardRequest) {
  m_server.Serve("/f", FileResponse("x"));
  EXPECT_EQ(ProbeUrlLength(m_server.Url("/f")), 1);
  const auto heads = m_server.RequestHeads();
  ASSERT_EQ(heads.size(), 1u);
  const std::string head = heads[0] + "\r\n";
  EXPECT_EQ(head.rfind("GET /f HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nUser-Agent: Orvel's Downloader\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nPragma: no-cache\r\n"), std::string::npos) << head;
}

// Catches a transport that ignores the machine's proxy setting.
TEST_F(ProbeTest, GoesThroughTheConfiguredProxy) {
  // Windows keeps its proxy settings in the registry, which this test does not change.
  if (kIsWindows) GTEST_SKIP() << "the http_proxy variable is the Linux proxy setting";
  m_server.Serve("/via-proxy", FileResponse("proxied"));
  CScopedEnv proxy("http_proxy", std::wstring(m_server.Url("")));
  CScopedEnv noProxy("no_proxy", L"");
  // The name is never resolved: the proxy is asked for it.
  EXPECT_EQ(ProbeUrlLength(L"http://download.invalid/via-proxy"), 7);
  const auto heads = m_server.RequestHeads();
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0].rfind("GET http://download.invalid/via-proxy HTTP/1.1\r\n", 0), 0u) << heads[0];
}

// A proxy that answers the first request with a challenge, and what the probe must see.
struct CProxyAuthCase {
  const char* name;
  const wchar_t* login;  // user:password@ in http_proxy, or nothing
  std::int64_t expected;
  int requests;
};

class ProxyAuthTest : public ProbeTest, public ::testing::WithParamInterface<CProxyAuthCase> {};

// Catches the challenge of a proxy taken for the final response although http_proxy carries
// credentials to answer it with, or a challenge nobody answers passing for a file's length.
TEST_P(ProxyAuthTest, AnswersTheChallengeWithTheConfiguredCredentials) {
  if (kIsWindows) GTEST_SKIP() << "the http_proxy variable is the Linux proxy setting";
  CServedResponse challenge = WithStatus(FileResponse(std::string(2000, ' ')), 407, "Proxy Authentication Required");
  challenge.extraHeaders = "Proxy-Authenticate: Basic realm=\"test\"\r\n";
  m_server.Serve("/auth", {challenge, FileResponse("proxied")});
  CScopedEnv proxy("http_proxy",
                   L"http://" + std::wstring(GetParam().login) + L"127.0.0.1:" + std::to_wstring(m_server.Port()));
  CScopedEnv noProxy("no_proxy", L"");
  EXPECT_EQ(ProbeUrlLength(L"http://download.invalid/auth"), GetParam().expected);
  const auto heads = m_server.RequestHeads();
  ASSERT_EQ(heads.size(), static_cast<std::size_t>(GetParam().requests));
  if (GetParam().requests == 2) {
    EXPECT_NE(heads[1].find("\r\nProxy-Authorization: Basic dXNlcjpzZWNyZXQ="), std::string::npos) << heads[1];
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ProxyAuthTest,
                         ::testing::Values(CProxyAuthCase{"RightCredentials", L"user:secret@", 7, 2},
                                           CProxyAuthCase{"NoCredentials", L"", 0, 1}),
                         [](const auto& info) { return std::string(info.param.name); });
