// The command line comes from whoever starts the program: split it and apply every option.
// "-log" is renamed first, so that the fuzzer does not create files under arbitrary names.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string line(reinterpret_cast<const char *>(data), size);
  line = line.substr(0, line.find('\0'));
  for (size_t i = 0; i + 4 <= line.size(); ++i) {
    if (line[i] == '-' && (line[i + 1] | 0x20) == 'l' && (line[i + 2] | 0x20) == 'o' && (line[i + 3] | 0x20) == 'g') {
      line[i + 1] = 'x';
    }
  }
  ParseCommandLine(line.c_str());
  return 0;
}
