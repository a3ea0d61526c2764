// What a signed Setup asks of a description beyond its signature: that it has not expired, that
// its serial is not below the one the build accepts, that it names this setup, and that it
// vouches for its files. A signature alone cannot tell an old or another product's genuine
// description from the current one; these tags, inside the signed text, can.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class CSetupDescription;
class CFileHashes;

inline constexpr wchar_t kExpiresTag[] = L"Expires";
inline constexpr wchar_t kSerialTag[] = L"Serial";
inline constexpr wchar_t kSetupNameTag[] = L"Setup Name";

// How long after "Expires" a description is still taken: a computer's clock may be a day off
// (a wrong time zone, a dead clock battery), and a vendor re-signs well before expiry anyway.
inline constexpr std::int64_t kExpirySlackSeconds = 24 * 60 * 60;

// "YYYY-MM-DDTHH:MM:SSZ", a date that exists (leap days included), as seconds since 1970 (before
// 1970 negative); none for anything else.
std::optional<std::int64_t> ParseUtcTimestamp(std::wstring_view text);
// The same form from seconds since 1970.
std::wstring FormatUtcTimestamp(std::int64_t utcSeconds);
// Decimal digits only, at most 19 of them, up to 2^63 - 1; none for anything else.
std::optional<std::uint64_t> ParseSerial(std::wstring_view text);

// The value of an optional tag; none when the description lacks the tag (and no missing-tag
// message is shown).
std::optional<std::wstring> OptionalTagValue(const CSetupDescription& description, const wchar_t* tag);

// What the rules are held against.
struct CDescriptionRuleInput {
  std::int64_t nowUtc = 0;       // this computer's clock
  std::uint64_t minSerial = 0;   // the build's WEBSETUP_MIN_DESCRIPTION_SERIAL
  // The run's setup name; none where it is not known (eiftool check of a file), and the rule
  // of "Setup Name" is then not applied.
  std::optional<std::wstring> setupName;
};

// Why the three tags make a signed Setup refuse the description, naming the rule (and what the
// clock said); empty when they let it pass. A tag written wrongly is refused, an absent
// "Expires" or "Setup Name" asks nothing, an absent "Serial" counts as 0.
std::wstring TrustTagRefusal(const CSetupDescription& description, const CDescriptionRuleInput& input);
// TrustTagRefusal, and then a description without "File Hashes": in a signed run every listed
// file must be vouched for. Empty when a signed Setup takes the description.
std::wstring SignedDescriptionRefusal(const CSetupDescription& description, const CDescriptionRuleInput& input);

// Why a run refuses a listed file before fetching it: a local name that is not a plain file
// name, or, in a description with "File Hashes", one the tag has no line for. Empty when the
// file is fetched. The run and eiftool's preflight both ask this.
std::wstring ListedFileRefusal(const std::wstring& local, const std::optional<CFileHashes>& hashes);
