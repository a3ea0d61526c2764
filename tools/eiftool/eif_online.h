// eiftool check --online: a preflight that asks the real hosts what a run of Setup would ask
// them, with the same transport and requests, and predicts how the run ends.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "download/http_transport.h"

struct COnlineOptions {
  std::wstring primary;          // the download hosts, "name" or "name:port"
  std::wstring secondary;
  std::wstring scheme;           // "http://" or "https://"
  std::wstring path;             // the description's folder on the hosts, "/downloads/Setups/NAME"
  std::string key;               // the description key (hex of DER) and EIF signature Setup holds
  std::wstring signature;
  std::string signingKey;        // the Ed25519 public key a signed Setup holds; empty for none
  bool json = false;
  std::uint64_t minSerial = 0;   // the signed Setup's lowest "Serial"
  std::optional<std::wstring> setupName;  // the run's setup name, when known
};

// Writes the report (text, or one JSON object) to out. Returns 0 only when the run would
// succeed: a host serves a description that loads and checks clean, a site wins, and every
// listed file answers with its length and no error page.
int CheckOnline(const COnlineOptions& options, std::ostream& out, IHttpTransport& transport = PlatformHttpTransport());
