// Writing a new key file: a private key (the vendor's signing key, the description key) or the
// public half that goes with it; and a scratch folder of eiftool's own.
#pragma once

#include <string>
#include <string_view>

enum class KeyFileReaders { OwnerOnly, Anyone };

// Creates path with bytes; with KeyFileReaders::OwnerOnly readable and writable by its owner
// only where the platform has such permissions. Never replaces an existing file: losing a key
// strands every Setup built with it or trusting its public half. False with a reason on any
// failure; a partly written file is removed.
bool WriteNewKeyFile(const std::wstring& path, std::string_view bytes, KeyFileReaders readers, std::string& error);

// A new folder in the temporary folder, named prefix and characters nobody can predict, made
// by this call (never one that existed) and private to the user: what eiftool writes there
// cannot be read or swapped by another user of a shared temporary folder. Empty on failure.
std::wstring CreateScratchFolder(const std::wstring& prefix);
