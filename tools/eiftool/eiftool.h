// eiftool's command line, shared by the Windows and Linux entry points.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// args without the program name. builtInSigningKey: the 32 bytes of the Ed25519 public key
// this eiftool was built with (WEBSETUP_SIGNING_PUBLIC_KEY_FILE), which check then demands a
// signature by, as a Setup built with it does; empty for none. Returns the exit status.
int RunEifTool(const std::vector<std::wstring>& args, std::string_view builtInSigningKey = {});
