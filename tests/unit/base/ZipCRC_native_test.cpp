#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <thread>
#include <vector>

#include "base/ZipCRC.h"

TEST(ZipCRC, KnownValues) {
  EXPECT_EQ(ZipCRC::crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(ZipCRC::crc32("", 0), 0u);
}

TEST(ZipCRC, AgreesWithZlibOnRandomBuffers) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> data(rng() % 5000);
    for (auto &b : data) b = uint8_t(rng());
    uLong expected = ::crc32(0L, data.data(), uInt(data.size()));
    EXPECT_EQ(ZipCRC::crc32(data.data(), uint32_t(data.size())), uint32_t(expected));
    ZipCRC running;
    size_t half = data.size() / 3;
    running.update(data.data(), uint32_t(half));
    running.update(data.data() + half, uint32_t(data.size() - half));
    EXPECT_EQ(running.value(), uint32_t(expected));
  }
}

TEST(ZipCRC, FirstUseFromTwoThreadsAgrees) {
  uint32_t a = 0, b = 0;
  std::thread t1([&] { a = ZipCRC::crc32("concurrent", 10); });
  std::thread t2([&] { b = ZipCRC::crc32("concurrent", 10); });
  t1.join();
  t2.join();
  EXPECT_EQ(a, uint32_t(::crc32(0L, reinterpret_cast<const Bytef *>("concurrent"), 10)));
  EXPECT_EQ(a, b);
}
