// eiftool's Windows entry point: arguments arrive as UTF-16.
#include "description/description_signature.h"
#include "eiftool.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return RunEifTool(args, SigningKeyFromHex(WEBSETUP_SIGNING_PUBLIC_KEY_HEX));
}
