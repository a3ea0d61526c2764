// The state of one eiftool check report, shared by the files that add parts to it.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "eif_check.h"

struct CCheck {
  std::ostream& out;
  std::vector<std::string> problems;
  // Worth hearing before publishing, but no reason not to.
  std::vector<std::string> warnings;
  void Problem(const std::wstring& text) { problems.push_back(ReportText(text)); }
  void Warning(const std::wstring& text) { warnings.push_back(ReportText(text)); }
};

// Reports the entries behind the blank line (item endIndex) that ended the list of tag: Setup
// never reads them.
void ReportItemsAfterEnd(CCheck& check, const std::wstring& text, const wchar_t* tag, std::size_t endIndex);

class CSetupDescription;

// Says whether "<path>.sig" is a valid signature of the file's bytes by the private half of
// signingKey (32 bytes). False when a Setup built with that key refuses the file unread.
bool ReportSignature(CCheck& check, const std::wstring& path, std::string_view signingKey);

// "Expires", "Serial" and "Setup Name" as a signed Setup reads them: each one's value, a warning
// when fewer than 7 days are left, and a problem where a signed Setup would refuse the
// description (expired, below options.minSerial, for another setup than options.setupName, or
// written wrongly).
void ReportTrustTags(CCheck& check, const CSetupDescription& description, const CCheckOptions& options);

// "File Hashes": every listed local name (locals, in list order) needs exactly one well-formed
// line, and every line a listed name. With a filesFolder, the files there are hashed and
// compared too. signedCheck: whether the check verified a signature, without which the
// hashes protect nothing.
void ReportFileHashes(CCheck& check, const CSetupDescription& description, const std::vector<std::wstring>& locals,
                      const std::wstring& filesFolder, bool signedCheck);
