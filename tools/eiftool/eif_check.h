// eiftool check: loads a description the way Setup does and reports what Setup would read,
// and the problems a vendor wants to hear about before publishing it.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

// Text from the description as the report shows it: control characters (line feeds and
// carriage returns in placeholder names, say) as \n, \r, \t or \xNN, so that no description
// can add lines of its own to the report.
std::string ReportText(std::wstring_view text);

// What a check verifies beyond the description itself.
struct CCheckOptions {
  // The 32 bytes of the Ed25519 public key whose signature "<file>.sig" the file needs, as a
  // Setup built with it demands; empty: no signature checked.
  std::string signingKey;
  // A folder with the files to publish, compared with "File Hashes"; empty: none.
  std::wstring filesFolder;
  // The lowest "Serial" the Setups in question take (--min-serial), and the setup name they run
  // as, when known (check --online --setup-name).
  std::uint64_t minSerial = 0;
  std::optional<std::wstring> setupName;
};

// Writes the report to out. Returns 0 when the description loads and every entry is usable,
// 1 otherwise. Never shows a message box.
int CheckDescription(const std::wstring& path, std::string_view key, std::wstring_view signature, std::ostream& out,
                     const CCheckOptions& options = {});
