// Streams written by 7-Zip's Deflate64 encoder (tests/fixtures/make_deflate64.py) decode to the
// size and CRC-32 that Python recorded for the originals, whole and in small pieces.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "RecordingLog.h"
#include "base/DataBuffer.h"
#include "base/ZipCRC.h"
#include "compress/InflateFrame.h"
#include "compress/InflateState.h"
#include "compress/OutputDataBuffer.h"
#include "FixtureFile.h"

namespace {
std::vector<uint8_t> fixture(const std::string &name) { return readFixture("deflate64/" + name); }
}  // namespace

TEST(Deflate64, SevenZipStreamsDecode) {
  std::vector<uint8_t> manifestBytes = fixture("manifest.txt");
  std::string manifest(manifestBytes.begin(), manifestBytes.end());
  char name[64];
  unsigned long size = 0, crc = 0;
  int streams = 0, used = 0;
  for (const char *p = manifest.c_str(); std::sscanf(p, "%63s %lu %lx%n", name, &size, &crc, &used) == 3;
       p += used) {
    ++streams;
    SCOPED_TRACE(name);
    std::vector<uint8_t> raw = fixture(std::string(name) + ".raw");
    ASSERT_FALSE(raw.empty());
    DataBuffer in, out;
    in.append(raw.data(), uint32_t(raw.size()));
    RecordingLog log;
    ASSERT_TRUE(inflateBuffer(false, in, out, true, nullptr, log));
    EXPECT_EQ(out.getSize(), size);
    EXPECT_EQ(ZipCRC::crc32(out.getData(), out.getSize()), crc);

    // Same stream in 7-byte pieces, straight through the engine.
    DataBuffer pieces;
    OutputDataBuffer sink(&pieces);
    InflateState inflater;
    inflater.useRawDeflate();
    inflater.useEnhancedWindow();
    for (size_t at = 0; at < raw.size(); at += 7) {
      ASSERT_TRUE(inflater.inflateBlock(raw.data() + at, uint32_t(std::min<size_t>(7, raw.size() - at)), sink,
                                        nullptr, log));
    }
    EXPECT_TRUE(pieces == out);

    if (std::string(name) == "far_repeats") {
      // Its distances beyond 32 KiB use codes 30 and 31, which plain deflate does not have.
      DataBuffer plain;
      RecordingLog plainLog;
      EXPECT_FALSE(inflateBuffer(false, in, plain, false, nullptr, plainLog));
      EXPECT_TRUE(plainLog.has("decodeErrNum=5"));
    }
  }
  EXPECT_EQ(streams, 3);
}
