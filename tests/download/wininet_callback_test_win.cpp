// WinINet only: a request whose status callback is refused goes on without the stall limit on
// the request itself, and the support log says so.
#include <gtest/gtest.h>

#include "download/logging_transport.h"
#include "download/wininet_api_win.h"
#include "progress_recorder.h"
#include "support/loopback_server.h"
#include "support/test_support.h"

// Catches a refused callback that silently leaves a run without its stall limit: the file still
// comes, and the request's log line tells support what guards it instead.
TEST(WinInetCallbackTest, RefusedCallbackIsSaidInTheLog) {
  CDirectLoopback direct;
  CLoopbackServer server;
  server.Serve("/f", FileResponse("body"));
  CTempFolder temp;
  CFakeClock clock(1000, 0);
  CSupportLog log(clock);
  ASSERT_TRUE(log.Open(temp / L"support.log"));
  CLoggingTransport transport(PlatformHttpTransport(), log, clock);
  RefuseStatusCallbackForTesting(true);
  auto response = transport.Open(server.Url("/f"));
  RefuseStatusCallbackForTesting(false);
  ASSERT_NE(response, nullptr);
  char buffer[16];
  EXPECT_EQ(response->Read(buffer, sizeof(buffer)), 4);
  response.reset();
  const std::string text = ReadFileBytes(temp / L"support.log");
  EXPECT_NE(text.find("/f: status 200, declared length 4; the stall limit reached this request only as WinINet "
                      "passes it on from its Internet handle (the status callback was refused)"),
            std::string::npos)
      << text;
}
