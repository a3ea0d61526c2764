// The rules a signed Setup holds a description to: dates, serials, the setup name, the hashes.
#include "description/description_rules.h"

#include <gtest/gtest.h>

#include "description/setup_description.h"
#include "websetup_config.h"

// Catches a date that does not exist taken (a 29 February outside leap years, a 24th hour, a
// 60th second), a wrong day count across eras (before 1970, century years), or a loose form.
TEST(DescriptionRulesTest, DatesOfTheExpiresTag) {
  const struct {
    const wchar_t* text;
    std::optional<std::int64_t> seconds;
  } rows[] = {
      {L"1970-01-01T00:00:00Z", 0},
      {L"1969-12-31T23:59:59Z", -1},
      {L"2024-02-29T12:00:00Z", 1709208000},
      {L"2000-02-29T00:00:00Z", 951782400},
      {L"2026-12-10T05:30:00Z", 1796880600},
      {L"1900-03-01T00:00:00Z", -2203891200},
      {L"9999-12-31T23:59:59Z", 253402300799},
      {L"2023-02-29T00:00:00Z", std::nullopt},
      {L"2100-02-29T00:00:00Z", std::nullopt},
      {L"2026-04-31T00:00:00Z", std::nullopt},
      {L"2026-13-01T00:00:00Z", std::nullopt},
      {L"2026-00-10T00:00:00Z", std::nullopt},
      {L"2026-12-00T00:00:00Z", std::nullopt},
      {L"2026-12-10T24:00:00Z", std::nullopt},
      {L"2026-12-10T23:59:60Z", std::nullopt},
      {L"2026-12-10T05:30:00z", std::nullopt},
      {L"2026-12-10T05:30:00", std::nullopt},
      {L"2026-12-10 05:30:00Z", std::nullopt},
      {L"2026-12-10T05:30:00+00:00", std::nullopt},
      {L"26-12-10T05:30:00Z", std::nullopt},
      {L"2026-1a-10T05:30:00Z", std::nullopt},
      {L"+026-12-10T05:30:00Z", std::nullopt},
      {L"next week", std::nullopt},
      {L"", std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ParseUtcTimestamp(row.text), row.seconds) << row.text;
    if (row.seconds) {
      EXPECT_EQ(FormatUtcTimestamp(*row.seconds), row.text);
    }
  }
}

// Catches a sign, a space or a letter taken, or a serial beyond 2^63 - 1 wrapped to a small one.
TEST(DescriptionRulesTest, SerialsAreDigitsUpToTwoToTheSixtyThirdMinusOne) {
  const struct {
    const wchar_t* text;
    std::optional<std::uint64_t> serial;
  } rows[] = {
      {L"0", 0u},
      {L"42", 42u},
      {L"0007", 7u},
      {L"9223372036854775807", 9223372036854775807u},
      {L"9223372036854775808", std::nullopt},
      {L"18446744073709551617", std::nullopt},
      {L"99999999999999999999", std::nullopt},
      {L"+5", std::nullopt},
      {L"-1", std::nullopt},
      {L"5 6", std::nullopt},
      {L"0x10", std::nullopt},
      {L"1e3", std::nullopt},
      {L"\xFF11", std::nullopt},  // a full-width digit one
      {L"", std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(ParseSerial(row.text), row.serial) << row.text;
}

// Catches each rule missing or off by one: the slack's edge to the second, a serial equal to the
// minimum, a setup name compared as the platform's file names are, a description whose tags are
// absent, one written wrongly, and one without "File Hashes".
TEST(DescriptionRulesTest, RefusalsOfASignedSetup) {
  const std::int64_t expires = 1796880600;  // 2026-12-10T05:30:00Z
  const std::wstring hashes = L"[File Hashes]\r\n";
  const struct {
    std::wstring tags;
    std::int64_t now;
    std::uint64_t minSerial;
    const wchar_t* refusal;  // a part of the reason; empty: taken
  } rows[] = {
      {hashes, expires, 0, L""},
      {L"[Expires]\r\n2026-12-10T05:30:00Z\r\n" + hashes, expires + kExpirySlackSeconds, 0, L""},
      {L"[Expires]\r\n2026-12-10T05:30:00Z\r\n" + hashes, expires + kExpirySlackSeconds + 1, 0,
       L"it expired at 2026-12-10T05:30:00Z, more than 24 hours ago (this computer's clock says "
       L"2026-12-11T05:30:01Z)"},
      {L"[Expires]\r\n2026-02-30T00:00:00Z\r\n" + hashes, expires, 0, L"its \"Expires\" is \"2026-02-30T00:00:00Z\""},
      {L"[Serial]\r\n5\r\n" + hashes, expires, 5, L""},
      {L"[Serial]\r\n4\r\n" + hashes, expires, 5, L"its serial 4 is below 5"},
      {hashes, expires, 5, L"its serial 0 is below 5"},  // a description from before serials
      {L"[Serial]\r\n+7\r\n" + hashes, expires, 0, L"its \"Serial\" is \"+7\""},
      {L"[Setup Name]\r\nOther\r\n" + hashes, expires, 0, L"it is for the setup \"Other\", not for \"MyApp\""},
      {L"[Setup Name]\r\nmyapp\r\n" + hashes, expires, 0, kFileNamesIgnoreCase ? L"" : L"it is for the setup \"myapp\""},
      {L"[Setup Name]\r\nMyApp\r\n", expires, 0, L"it has no \"File Hashes\""},
  };
  for (const auto& row : rows) {
    CSetupDescription description;
    ASSERT_TRUE(description.LoadText(row.tags + L"[End]End")) << row.tags;
    const std::wstring refusal = SignedDescriptionRefusal(description, {row.now, row.minSerial, L"MyApp"});
    if (*row.refusal == L'\0') {
      EXPECT_EQ(refusal, L"") << row.tags;
    } else {
      EXPECT_NE(refusal.find(row.refusal), std::wstring::npos) << refusal;
    }
  }
}
