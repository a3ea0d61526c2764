// The rules a signed Setup holds a description to.
#include "description/description_rules.h"

#include "description/file_hashes.h"
#include "description/setup_description.h"
#include "description/tag_parser.h"
#include "system/file_name.h"
#include "system/text.h"
#include "websetup_config.h"

namespace {
bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (years 0 to 9999), by
// eras of 400 years.
int DaysFromCivil(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int yearOfEra = year - era * 400;
  const int dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// The digits of text[at, at + count) as a number; -1 when any is not a digit.
int Digits(std::wstring_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return -1;
    value = value * 10 + (text[i] - L'0');
  }
  return value;
}

bool SameSetupName(const std::wstring& a, const std::wstring& b) {
  return kFileNamesIgnoreCase ? LowerCase(a) == LowerCase(b) : a == b;
}
}  // namespace

std::optional<std::int64_t> ParseUtcTimestamp(std::wstring_view text) {
  // "YYYY-MM-DDTHH:MM:SSZ": the marks at their places, and each field within its range.
  constexpr wchar_t kForm[] = L"YYYY-MM-DDTHH:MM:SSZ";
  constexpr struct {
    std::size_t at, count;
    int low, high;
  } kFields[] = {{0, 4, 0, 9999}, {5, 2, 1, 12}, {8, 2, 1, 31}, {11, 2, 0, 23}, {14, 2, 0, 59}, {17, 2, 0, 59}};
  if (text.size() != 20) return std::nullopt;
  for (std::size_t i : {4, 7, 10, 13, 16, 19}) {
    if (text[i] != kForm[i]) return std::nullopt;
  }
  int value[6];
  for (std::size_t f = 0; f < 6; ++f) {
    value[f] = Digits(text, kFields[f].at, kFields[f].count);
    if (value[f] < kFields[f].low || value[f] > kFields[f].high) return std::nullopt;
  }
  if (value[2] > DaysInMonth(value[0], value[1])) return std::nullopt;
  return std::int64_t{DaysFromCivil(value[0], value[1], value[2])} * 86400 + value[3] * 3600 + value[4] * 60 + value[5];
}

std::wstring FormatUtcTimestamp(std::int64_t utcSeconds) {
  // FormatUtcTime gives "DD-MM-YYYY HH:MM:SS".
  const std::wstring t = FormatUtcTime(utcSeconds);
  return t.substr(6, 4) + L'-' + t.substr(3, 2) + L'-' + t.substr(0, 2) + L'T' + t.substr(11, 8) + L'Z';
}

std::optional<std::uint64_t> ParseSerial(std::wstring_view text) {
  constexpr std::uint64_t kLargest = 0x7FFFFFFFFFFFFFFFull;
  if (text.empty() || text.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - L'0');  // 19 digits cannot wrap
  }
  if (value > kLargest) return std::nullopt;
  return value;
}

std::optional<std::wstring> OptionalTagValue(const CSetupDescription& description, const wchar_t* tag) {
  // Looked for without GetValue, whose missing-tag message would reach every older description.
  if (description.FindTag(tag) == kTagNotFound) return std::nullopt;
  return description.GetValue(tag);
}

std::wstring TrustTagRefusal(const CSetupDescription& description, const CDescriptionRuleInput& input) {
  const std::wstring clock = L" (this computer's clock says " + FormatUtcTimestamp(input.nowUtc) + L")";
  if (const auto expires = OptionalTagValue(description, kExpiresTag)) {
    const auto when = ParseUtcTimestamp(*expires);
    if (!when) return L"its \"Expires\" is \"" + *expires + L"\", not a date YYYY-MM-DDTHH:MM:SSZ that exists";
    if (input.nowUtc > *when + kExpirySlackSeconds) {
      return L"it expired at " + *expires + L", more than 24 hours ago" + clock;
    }
  }
  std::uint64_t serial = 0;
  if (const auto text = OptionalTagValue(description, kSerialTag)) {
    const auto parsed = ParseSerial(*text);
    if (!parsed) return L"its \"Serial\" is \"" + *text + L"\", not a number of at most 19 digits without a sign";
    serial = *parsed;
  }
  if (serial < input.minSerial) {
    return L"its serial " + DecimalText(static_cast<std::int64_t>(serial)) + L" is below " +
           DecimalText(static_cast<std::int64_t>(input.minSerial)) + L", the lowest this Setup takes";
  }
  if (const auto name = OptionalTagValue(description, kSetupNameTag); name && input.setupName) {
    if (!SameSetupName(*name, *input.setupName)) {
      return L"it is for the setup \"" + *name + L"\", not for \"" + *input.setupName + L"\"";
    }
  }
  return {};
}

std::wstring SignedDescriptionRefusal(const CSetupDescription& description, const CDescriptionRuleInput& input) {
  std::wstring refusal = TrustTagRefusal(description, input);
  if (refusal.empty() && description.FindTag(kFileHashesTag) == kTagNotFound) {
    refusal = L"it has no \"File Hashes\", so nothing would vouch for its files";
  }
  return refusal;
}

std::wstring ListedFileRefusal(const std::wstring& local, const std::optional<CFileHashes>& hashes) {
  // A local name is a name inside the setup temp folder, never a path out of it or a device.
  if (!IsPlainFileName(local)) return L"not a plain file name";
  // A file the hashes do not cover is refused unseen.
  if (hashes && !hashes->For(local)) return L"no line for it in \"File Hashes\"";
  return {};
}
