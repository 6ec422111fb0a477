#include "base/EncodingConvert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/DataBuffer.h"
#include "base/Logger.h"
#include "base/StringBuffer.h"

namespace {
struct Vector {
  uint32_t from, to;
  const char *input;
  uint32_t inputLength;
  const char *expected;
  uint32_t expectedLength;
  bool fullyConverted;
};
// Computed by fixtures/gen_encoding_vectors.py with Python's codecs.
const Vector kVectors[] = {
#include "fixtures/encoding_vectors.inc"
};

std::string hex(const void *data, uint32_t size) {
  StringBuffer sb;
  sb.appendHexDump(data, size);
  return sb.getText();
}
}  // namespace

TEST(EncodingConvert, AgreesWithPythonCodecs) {
  EncodingConvert converter;
  for (const Vector &v : kVectors) {
    DataBuffer out;
    LogNull log;
    bool ok = converter.convert(v.from, v.to, v.input, v.inputLength, out, log);
    EXPECT_EQ(ok, v.fullyConverted) << v.from << " -> " << v.to << ": " << hex(v.input, v.inputLength);
    EXPECT_EQ(hex(out.getData(), out.getSize()), hex(v.expected, v.expectedLength))
        << v.from << " -> " << v.to << ": " << hex(v.input, v.inputLength);
  }
}

TEST(EncodingConvert, AppendsAndReportsWhy) {
  EncodingConvert converter;
  DataBuffer out;
  out.append("x", 1);
  Logger log;
  EXPECT_FALSE(converter.convert(65001, 1252, "\xE6\x97\xA5", 3, out, log));
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(out.getData()), out.getSize()), "x?");
  StringBuffer text;
  log.copyLogText(text);
  EXPECT_TRUE(text.contains("numUnconvertible: 1")) << text.getText();
}

TEST(EncodingConvert, UnknownPagesKeepOnlyAscii) {
  EncodingConvert converter;
  EXPECT_FALSE(EncodingConvert::isSupported(932));
  EXPECT_TRUE(EncodingConvert::isSupported(1252));
  DataBuffer out;
  Logger log;
  EXPECT_TRUE(converter.convert(932, 65001, "abc", 3, out, log));
  EXPECT_FALSE(converter.convert(932, 65001, "\x82\xA0", 2, out, log));
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(out.getData()), out.getSize()),
            "abc\xEF\xBF\xBD\xEF\xBF\xBD");
  out.clear();
  EXPECT_FALSE(converter.convert(65001, 932, "a\xC3\xA9", 3, out, log));
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(out.getData()), out.getSize()), "a?");
  StringBuffer text;
  log.copyLogText(text);
  EXPECT_TRUE(text.contains("Unsupported code page.")) << text.getText();
}
