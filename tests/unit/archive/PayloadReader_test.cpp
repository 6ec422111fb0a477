// The entry stream's buffered reads: any mix of small fields and large bodies delivers the bytes
// in order, and the end of the data is a failed read as it is without the buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "archive/PayloadReader.h"
#include "compress/MemoryDataSource.h"

TEST(PayloadReader, MixedReadSizesDeliverEveryByteInOrder) {
  // Sizes around the buffer's own, and the half at which reads bypass it.
  const uint32_t b = PayloadReader::kBufferSize;
  std::vector<uint8_t> bytes(20 * size_t(b));
  std::mt19937 random(7);
  for (uint8_t &byte : bytes) byte = uint8_t(random());
  std::vector<uint32_t> sizes = {1, 4, 2, b / 2 - 1, b / 2, b / 2 + 1, 3, b - 1, b, b + 1, 19, b + b / 3, 5};
  for (uint32_t start : {0u, 1u, 1000u}) {
    MemoryDataSource source;
    source.setData(bytes.data(), bytes.size());
    LogNull log;
    source.seekAbsolute(start, log);
    PayloadReader reader;
    reader.attach(&source);
    size_t at = start;
    for (int round = 0; round < 3; ++round) {
      for (uint32_t n : sizes) {
        std::vector<uint8_t> got(n);
        ASSERT_TRUE(reader.read(got.data(), n, nullptr, log)) << n << " at " << at;
        ASSERT_TRUE(std::equal(got.begin(), got.end(), bytes.begin() + at)) << n << " at " << at;
        at += n;
      }
    }
    // What is left, then nothing.
    std::vector<uint8_t> rest(bytes.size() - at);
    ASSERT_TRUE(reader.read(rest.data(), uint32_t(rest.size()), nullptr, log));
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), bytes.begin() + at));
    uint32_t value = 0;
    EXPECT_FALSE(reader.peekU32(value));
    EXPECT_FALSE(reader.readU32(value, nullptr, log));
    EXPECT_TRUE(reader.endOfStream());
  }
}

TEST(PayloadReader, AShortReadConsumesWhatWasThereAndHandBackRestoresThePosition) {
  const uint8_t bytes[] = {1, 0, 2, 0, 0, 0, 9, 9};
  MemoryDataSource source;
  source.setData(bytes, sizeof bytes);
  LogNull log;
  PayloadReader reader;
  reader.attach(&source);
  uint32_t v = 0;
  ASSERT_TRUE(reader.readU16(v, nullptr, log));
  EXPECT_EQ(v, 1u);
  ASSERT_TRUE(reader.peekU32(v));
  EXPECT_EQ(v, 2u);
  ASSERT_TRUE(reader.readU32(v, nullptr, log));
  EXPECT_EQ(v, 2u);
  reader.handBack(log);
  EXPECT_EQ(source.getPosition(), 6);
  reader.attach(&source);
  EXPECT_FALSE(reader.readU32(v, nullptr, log));
  EXPECT_TRUE(reader.endOfStream());
}
