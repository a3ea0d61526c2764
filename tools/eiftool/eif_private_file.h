// Writing a new file that holds a secret (the vendor's signing key).
#pragma once

#include <string>
#include <string_view>

// Creates path with bytes, readable and writable by its owner only where the platform has such
// permissions. Never replaces an existing file: losing a signing key strands every Setup that
// trusts its public half. False with a reason on any failure; a partly written file is removed.
bool WriteNewPrivateFile(const std::wstring& path, std::string_view bytes, std::string& error);
