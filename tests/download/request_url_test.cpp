// The escaping of URLs into the form the Windows client sends.
#include "download/request_url.h"

#include <gtest/gtest.h>

#include <string>

struct CRequestUrlCase {
  const wchar_t* url;
  const char* sent;
};

class RequestUrlTest : public ::testing::TestWithParam<CRequestUrlCase> {};

// Catches a character escaped that the Windows client sends as it is (or the reverse), a host
// touched, and non-ASCII text sent in another encoding.
TEST_P(RequestUrlTest, EscapesAsTheWindowsClientDoes) { EXPECT_EQ(RequestUrl(GetParam().url), GetParam().sent); }

INSTANTIATE_TEST_SUITE_P(
    Cases, RequestUrlTest,
    ::testing::Values(CRequestUrlCase{L"http://h/downloads/Setups/My App/SetupInitial.eif",
                                      "http://h/downloads/Setups/My%20App/SetupInitial.eif"},
                      CRequestUrlCase{L"http://h:8080/a?b c", "http://h:8080/a?b%20c"},
                      CRequestUrlCase{L"http://h/100%/%41", "http://h/100%/%41"},
                      CRequestUrlCase{L"http://h/a+b&c;d=e,f$g@h!i'j(k)l*m~n[o]{p}|q^r`s\"t<u>v",
                                      "http://h/a+b&c;d=e,f$g@h!i'j(k)l*m~n[o]{p}|q^r`s\"t<u>v"},
                      CRequestUrlCase{L"http://h/Caf\u00e9/\u65e5\u672c", "http://h/Caf%C3%A9/%E6%97%A5%E6%9C%AC"},
                      CRequestUrlCase{L"http://h/C#/x#y", "http://h/C%23/x%23y"},
                      CRequestUrlCase{L"http://h\\sub\\file", "http://h/sub/file"},
                      CRequestUrlCase{L"http://h/t\tab\r\n/\x01\x7f", "http://h/tab/%01%7F"},
                      // The host is the server's business: nothing in it is escaped.
                      CRequestUrlCase{L"http://m\u00fcnchen.example:81", "http://m\xC3\xBCnchen.example:81"}));
