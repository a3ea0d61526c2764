// eiftool's Linux entry point: arguments arrive as UTF-8.
#include "description/description_signature.h"
#include "eiftool.h"
#include "system/text.h"

int main(int argc, char** argv) {
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.push_back(FromUtf8(argv[i]));
  return RunEifTool(args, SigningKeyFromHex(WEBSETUP_SIGNING_PUBLIC_KEY_HEX));
}
