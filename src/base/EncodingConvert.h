#pragma once

#include <cstdint>

class DataBuffer;
class LogBase;

// Converts text between code pages by our own code: UTF-8 (65001) and UTF-16LE (1200)
// algorithmically, and the single-byte Windows pages 874, 1250 to 1258 and 28591 by tables.
// Other pages keep their ASCII bytes and report every other byte as not converted, which
// sends paths to the wide Windows calls.
class EncodingConvert {
 public:
  static constexpr uint32_t kUtf8 = 65001;
  static constexpr uint32_t kUtf16Le = 1200;

  // Appends `count` bytes of text in `fromCodePage`, converted to `toCodePage`, to `out`
  // (no terminator). True when every character was converted; otherwise invalid input became
  // U+FFFD and characters the target lacks became "?", and the reason is logged.
  bool convert(uint32_t fromCodePage, uint32_t toCodePage, const void *bytes, uint32_t count, DataBuffer &out,
               LogBase &log);

  static bool isSupported(uint32_t codePage);
};
