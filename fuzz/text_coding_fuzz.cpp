// Code-page conversion and quoted-printable on arbitrary bytes. The first byte picks the pages
// and the line length; the harness checks what must hold for any input:
// - whatever is converted to UTF-8 is valid UTF-8;
// - text that converted fully from UTF-8 or UTF-16 comes back unchanged;
// - no quoted-printable line is longer than its limit.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/ContentCoding.h"
#include "base/DataBuffer.h"
#include "base/EncodingConvert.h"
#include "base/LogBase.h"
#include "base/StringBuffer.h"

namespace {
const uint32_t kPages[] = {65001, 1200, 874,  1250, 1251, 1252,  1253,
                           1254,  1255, 1256, 1257, 1258, 28591, 932};

void require(bool condition) {
  if (!condition) std::abort();
}

void checkConversion(uint32_t from, uint32_t to, const uint8_t *data, uint32_t size) {
  EncodingConvert converter;
  LogNull log;
  DataBuffer out;
  bool ok = converter.convert(from, to, data, size, out, log);
  if (to == 65001) {
    DataBuffer check;
    require(converter.convert(65001, 1200, out.getData(), out.getSize(), check, log));
  }
  if (!ok || (from != 65001 && from != 1200) || (to != 65001 && to != 1200)) return;
  DataBuffer back;
  require(converter.convert(to, from, out.getData(), out.getSize(), back, log));
  require(back.getSize() == size && (size == 0 || std::memcmp(back.getData(), data, size) == 0));
}

void checkQuotedPrintable(uint32_t maxLine, const uint8_t *data, uint32_t size) {
  ContentCoding coding;
  coding.setMaxLineLength(maxLine);
  StringBuffer out;
  require(coding.encodeQuotedPrintable(data, size, out));
  const char *text = out.getText();
  for (const char *line = text; *line != 0;) {
    const char *end = std::strstr(line, "\r\n");
    uint32_t length = uint32_t(end ? end - line : std::strlen(line));
    require(length <= coding.getMaxLineLength());
    if (end == nullptr) break;
    line = end + 2;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1 || size > 65536) return 0;
  uint8_t pick = data[0];
  const uint8_t *text = data + 1;
  uint32_t length = uint32_t(size - 1);
  uint32_t count = sizeof kPages / sizeof kPages[0];
  checkConversion(kPages[pick % count], kPages[(pick / count) % count], text, length);
  checkConversion(65001, 1200, text, length);
  checkQuotedPrintable(pick % 100, text, length);
  return 0;
}
