#include "Cli.h"

#include <cstdio>
#include <cstdlib>

int fail(const std::string &message) {
  std::fprintf(stderr, "sfxpack: %s\n", message.c_str());
  return 2;
}

int ioFailure(const std::string &message) {
  fail(message);
  return 1;
}

bool parseNumber(const char *text, long low, long high, long &value) {
  char *end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == 0 && value >= low && value <= high;
}

bool usageError(int &exitCode, const std::string &message) {
  exitCode = fail(message);
  return false;
}
