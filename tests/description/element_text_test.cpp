// Title extraction used by the download worker's error-page test.
#include "description/element_text.h"

#include <gtest/gtest.h>

// Catches a case-sensitive tag match, or a result that is not upper-cased.
TEST(ElementTextTest, ExtractsTheSingleTitleUpperCased) {
  EXPECT_EQ(ExtractElementText(L"<html><title>404 Not Found</title></html>", L"title"), L"404 NOT FOUND");
  EXPECT_EQ(ExtractElementText(L"<TITLE>x</Title>", L"TITLE"), L"X");
}

// Catches a page with two titles, a missing closing tag, attributes or reversed tags being read.
TEST(ElementTextTest, RefusesDoubledMissingOrMisorderedTags) {
  EXPECT_EQ(ExtractElementText(L"<title>a</title><title>404</title>", L"TITLE"), L"");
  EXPECT_EQ(ExtractElementText(L"<title>404 Not Found", L"TITLE"), L"");
  EXPECT_EQ(ExtractElementText(L"<title lang=\"en\">404</title>", L"TITLE"), L"");
  EXPECT_EQ(ExtractElementText(L"</title>404<title>", L"TITLE"), L"");
  EXPECT_EQ(ExtractElementText(L"<title></title>", L"TITLE"), L"");
}
