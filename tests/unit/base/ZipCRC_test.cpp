// The CRC-32 code against zlib's crc32, kernel by kernel, natively and under Wine.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <thread>
#include <vector>

#include "base/Crc32Clmul.h"
#include "base/Crc32Polynomial.h"
#include "base/Crc32Slicing.h"
#include "base/ZipCRC.h"

namespace {

uint32_t zlibCrc(const uint8_t *data, size_t length) { return uint32_t(::crc32(0L, data, uInt(length))); }

using Kernel = uint32_t (*)(uint32_t, const uint8_t *, size_t);
uint32_t crcWith(Kernel kernel, const uint8_t *data, size_t length) {
  return ~kernel(0xFFFFFFFFu, data, length);
}

std::vector<uint8_t> randomBytes(size_t length, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> data(length);
  for (auto &b : data) b = uint8_t(rng());
  return data;
}

// Every length up to 4096 from every start offset modulo 16, then a running CRC fed in three
// uneven pieces, so that both the folding loop's edges and the hand-over to the table code show.
void expectAgreesWithZlib(Kernel kernel) {
  const std::vector<uint8_t> data = randomBytes(4096 + 64, 7);
  for (size_t length = 0; length <= 4096; ++length) {
    const uint8_t *start = data.data() + (length * 7) % 16;
    uint32_t expected = zlibCrc(start, length);
    ASSERT_EQ(crcWith(kernel, start, length), expected) << "length " << length;
    size_t first = length / 3, second = length / 2;
    uint32_t running = kernel(0xFFFFFFFFu, start, first);
    running = kernel(running, start + first, second - first);
    running = kernel(running, start + second, length - second);
    ASSERT_EQ(~running, expected) << "pieces of length " << length;
  }
  for (size_t offset = 0; offset < 64; ++offset) {
    for (size_t length : {255u, 256u, 257u, 511u, 1000u, 4000u}) {
      ASSERT_EQ(crcWith(kernel, data.data() + offset, length), zlibCrc(data.data() + offset, length))
          << "offset " << offset << " length " << length;
    }
  }
}

}  // namespace

TEST(ZipCRC, KnownValues) {
  EXPECT_EQ(ZipCRC::crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(ZipCRC::crc32("", 0), 0u);
}

TEST(ZipCRC, TableCodeAgreesWithZlib) { expectAgreesWithZlib(crc32SlicingUpdate); }

#ifdef SFX_HAVE_CLMUL_CODE
TEST(ZipCRC, FoldingCodeAgreesWithZlib) {
  if (!crc32ClmulAvailable()) GTEST_SKIP() << "this CPU has no PCLMULQDQ";
  expectAgreesWithZlib(crc32ClmulUpdate);
}
#endif

TEST(ZipCRC, ChosenCodeAgreesWithZlibOnLargeBuffers) {
  const std::vector<uint8_t> data = randomBytes(3 << 20, 11);
  EXPECT_EQ(ZipCRC::crc32(data.data(), uint32_t(data.size())), zlibCrc(data.data(), data.size()));
  ZipCRC running;
  running.update(data.data(), 1000003);
  running.update(data.data() + 1000003, uint32_t(data.size() - 1000003));
  EXPECT_EQ(running.value(), zlibCrc(data.data(), data.size()));
}

TEST(ZipCRC, PolynomialArithmetic) {
  // x^32 leaves the rest of the polynomial; x^0 and x^31 are the register's end bits.
  EXPECT_EQ(crc32XPower(0), 0x80000000u);
  EXPECT_EQ(crc32XPower(31), 0x00000001u);
  EXPECT_EQ(crc32XPower(32), 0xEDB88320u);
  EXPECT_EQ(crc32MultiplyMod(crc32XPower(1000), crc32XPower(2345)), crc32XPower(3345));
}

TEST(ZipCRC, CombinedPiecesEqualTheWhole) {
  const std::vector<uint8_t> data = randomBytes(2100000, 3);
  for (size_t split : {size_t(0), size_t(1), size_t(15), size_t(4096), size_t(2048575), data.size()}) {
    uint32_t a = zlibCrc(data.data(), split);
    uint32_t b = zlibCrc(data.data() + split, data.size() - split);
    EXPECT_EQ(crc32Combine(a, b, data.size() - split), zlibCrc(data.data(), data.size())) << "split " << split;
  }
}

TEST(ZipCRC, FirstUseFromTwoThreadsAgrees) {
  const std::vector<uint8_t> data = randomBytes(10000, 5);
  uint32_t a = 0, b = 0;
  std::thread t1([&] { a = ZipCRC::crc32(data.data(), uint32_t(data.size())); });
  std::thread t2([&] { b = ZipCRC::crc32(data.data(), uint32_t(data.size())); });
  t1.join();
  t2.join();
  EXPECT_EQ(a, zlibCrc(data.data(), data.size()));
  EXPECT_EQ(a, b);
}
