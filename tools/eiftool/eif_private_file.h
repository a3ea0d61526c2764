// Writing a new key file: a private key (the vendor's signing key, the description key) or the
// public half that goes with it.
#pragma once

#include <string>
#include <string_view>

enum class KeyFileReaders { OwnerOnly, Anyone };

// Creates path with bytes; with KeyFileReaders::OwnerOnly readable and writable by its owner
// only where the platform has such permissions. Never replaces an existing file: losing a key
// strands every Setup built with it or trusting its public half. False with a reason on any
// failure; a partly written file is removed.
bool WriteNewKeyFile(const std::wstring& path, std::string_view bytes, KeyFileReaders readers, std::string& error);
