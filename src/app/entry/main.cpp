// The Linux stub: the automatic mode of the Windows program, through the platform layer.
#include <string>

#include "app/Startup.h"

namespace {
// Windows hands WinMain the line as typed; here the shell already split it, so arguments that
// would split again are put back into quotes. Linux arguments are UTF-8 already.
std::string joinArguments(int argc, char **argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (i > 1) line += ' ';
    bool quote = arg.empty() || arg.find_first_of(" \t") != std::string::npos;
    line += quote ? "\"" + arg + "\"" : arg;
  }
  return line;
}
}  // namespace

int main(int argc, char **argv) {
  std::string line = joinArguments(argc, argv);
  return SfxWinMain(nullptr, nullptr, line.c_str(), SW_SHOW);
}
