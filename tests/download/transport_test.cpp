// The platform's HTTP transport against the loopback server, on connections closed after each
// response and on kept ones: the stall limit before and after the headers, a slow but steady
// body, and statuses whose body is empty.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "download/http_transport.h"
#include "progress_recorder.h"
#include "support/loopback_server.h"
#include "websetup_config.h"

namespace {
// Short enough for a test; a server that stays quiet many times this long must end the request.
constexpr std::uint32_t kTestStallLimitMs = 1000;
// How long a stalling server stays quiet before it would carry on: a transport without a
// working stall limit receives the whole response and fails the test.
constexpr int kServerStallMs = 8 * static_cast<int>(kTestStallLimitMs);
constexpr std::uint64_t kBodyBytes = 1000;
using Connections = CLoopbackServer::Connections;

// Reads the body to its end: the bytes received and whether a read failed.
struct CBody {
  std::string bytes;
  bool failed = false;
};
CBody ReadBody(IHttpResponse& response) {
  CBody body;
  char buffer[1024];
  for (;;) {
    const std::int64_t n = response.Read(buffer, sizeof(buffer));
    if (n <= 0) {
      body.failed = n < 0;
      return body;
    }
    body.bytes.append(buffer, static_cast<std::size_t>(n));
  }
}
}  // namespace

class TransportTest : public ::testing::TestWithParam<Connections> {
 protected:
  TransportTest() : m_server(GetParam()) { SetStallLimitForTesting(kTestStallLimitMs); }
  ~TransportTest() override { SetStallLimitForTesting(kStallLimitMs); }

  // On a kept connection a first request must have opened it: the fault of kept connections
  // only shows on the second request.
  void WarmUp() {
    if (GetParam() != Connections::Keep) return;
    m_server.Serve("/warm", FileResponse("warm"));
    auto warm = PlatformHttpTransport().Open(m_server.Url("/warm"));
    ASSERT_NE(warm, nullptr);
    EXPECT_EQ(ReadBody(*warm).bytes, "warm");
  }
  // libcurl must have sent the request after the warm-up on the warm-up's connection (WinINet
  // keeps its pool to itself and may open another).
  void ExpectKeptConnection() {
    if (GetParam() != Connections::Keep || kIsWindows) return;
    const std::vector<int> connections = m_server.RequestConnections();
    ASSERT_EQ(connections.size(), 2u);
    EXPECT_EQ(connections[0], connections[1]) << "the request after the warm-up came on a new connection";
  }

  CDirectLoopback m_direct;
  CLoopbackServer m_server;
};

// Catches a stall clock that never starts on a kept connection (libcurl reports no connect time
// for one), so a server that takes the request and says nothing holds the run for ever.
TEST_P(TransportTest, EndsARequestWhoseHeadersNeverCome) {
  WarmUp();
  CServedResponse late = FileResponse(GeneratedBody(kBodyBytes));
  late.headStallMs = kServerStallMs;
  m_server.Serve("/f", late);
  EXPECT_EQ(PlatformHttpTransport().Open(m_server.Url("/f")), nullptr);
  ExpectKeptConnection();
}

// Catches the same after the headers: the body stops and the read must fail, not wait.
TEST_P(TransportTest, FailsTheReadWhenTheBodyStops) {
  WarmUp();
  CServedResponse stalled = FileResponse(GeneratedBody(kBodyBytes));
  stalled.stallAfterBytes = 100;
  stalled.stallMs = kServerStallMs;
  m_server.Serve("/f", stalled);
  auto response = PlatformHttpTransport().Open(m_server.Url("/f"));
  ASSERT_NE(response, nullptr);
  const CBody body = ReadBody(*response);
  EXPECT_TRUE(body.failed);
  // wine's WinINet drops what a read had gathered when the limit ends it.
  EXPECT_EQ(body.bytes, kIsWindows ? "" : GeneratedBody(100));
  ExpectKeptConnection();
}

// Catches a stall clock that data does not reset: a body that keeps coming, however slowly,
// must arrive whole although it takes longer than the limit.
TEST_P(TransportTest, TakesASlowButSteadyBody) {
  WarmUp();
  CServedResponse slow = FileResponse(GeneratedBody(kBodyBytes));
  slow.dripBytes = 100;
  slow.dripMs = static_cast<int>(kTestStallLimitMs / 4);
  m_server.Serve("/f", slow);
  auto response = PlatformHttpTransport().Open(m_server.Url("/f"));
  ASSERT_NE(response, nullptr);
  const CBody body = ReadBody(*response);
  EXPECT_FALSE(body.failed);
  EXPECT_EQ(body.bytes, GeneratedBody(kBodyBytes));
  ExpectKeptConnection();
}

// Catches a challenge with an empty body taken for no answer at all: the support log and the
// download rules must see its status.
TEST_P(TransportTest, ReportsAChallengeWithAnEmptyBody) {
  WarmUp();
  for (const int status : {401, 407}) {
    CServedResponse challenge = WithStatus(FileResponse(""), status, "Authentication Required");
    challenge.extraHeaders =
        status == 401 ? "WWW-Authenticate: Basic realm=\"t\"\r\n" : "Proxy-Authenticate: Basic realm=\"t\"\r\n";
    m_server.Serve("/f", challenge);
    auto response = PlatformHttpTransport().Open(m_server.Url("/f"));
    ASSERT_NE(response, nullptr) << status;
    EXPECT_EQ(response->StatusCode(), status);
    EXPECT_EQ(response->DeclaredLength(), 0u);
    EXPECT_EQ(ReadBody(*response).bytes, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Connections, TransportTest, ::testing::Values(Connections::CloseEach, Connections::Keep),
                         [](const auto& info) { return info.param == Connections::Keep ? "Kept" : "Closed"; });
