// eiftool's Linux entry point: arguments arrive as UTF-8.
#include "eiftool.h"
#include "system/text.h"

int main(int argc, char** argv) {
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.push_back(FromUtf8(argv[i]));
  return RunEifTool(args);
}
