#include "base/DataBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(DataBuffer, GrowthFollowsTheStepTable) {
  DataBuffer small;
  ASSERT_TRUE(small.append("x", 1));
  EXPECT_EQ(small.getCapacity(), 20000u);

  std::vector<uint8_t> bytes(30000, 7);
  DataBuffer big;
  ASSERT_TRUE(big.append(bytes.data(), 30000));
  EXPECT_EQ(big.getCapacity(), 30000u);

  DataBuffer full;
  std::vector<uint8_t> block(120000, 1);
  ASSERT_TRUE(full.append(block.data(), 120000));
  EXPECT_EQ(full.getCapacity(), 120000u);
  ASSERT_TRUE(full.append(block.data(), 10));
  EXPECT_EQ(full.getCapacity(), 220000u);
  EXPECT_EQ(full.getSize(), 120010u);
}

TEST(DataBuffer, LargeBuffersGrowInTheirOwnSteps) {
  std::vector<uint8_t> block(1000000, 3);
  DataBuffer buf;
  ASSERT_TRUE(buf.append(block.data(), 1000000));
  ASSERT_TRUE(buf.append(block.data(), 5));
  EXPECT_EQ(buf.getCapacity(), 2000000u);
  // An append as large as the step itself is not a small append: it grows by itself.
  DataBuffer other;
  ASSERT_TRUE(other.append(block.data(), 1000000));
  ASSERT_TRUE(other.append(block.data(), 1000000));
  EXPECT_EQ(other.getCapacity(), 2000000u);
  EXPECT_EQ(other.getSize(), 2000000u);
}

TEST(DataBuffer, AppendByteAndUtf8GrowByTheirOwnAmounts) {
  DataBuffer a;
  ASSERT_TRUE(a.appendByte(1));
  EXPECT_EQ(a.getCapacity(), 10000u);
  DataBuffer u;
  ASSERT_TRUE(u.appendUtf8Char(0x20AC));
  EXPECT_EQ(u.getCapacity(), 20000u);
  ASSERT_EQ(u.getSize(), 3u);
  EXPECT_EQ(std::memcmp(u.getData(), "\xE2\x82\xAC", 3), 0);
  ASSERT_TRUE(u.appendUtf8Char('A'));
  ASSERT_TRUE(u.appendUtf8Char(0xE9));
  EXPECT_EQ(std::memcmp(u.getData(), "\xE2\x82\xAC" "A\xC3\xA9", 6), 0);
}

TEST(DataBuffer, TrailingZerosAndIndexes) {
  DataBuffer b;
  b.append("a\0\0", 3);
  EXPECT_EQ(b.getSizeWithoutTrailingZeros(), 1u);
  DataBuffer z;
  z.append("\0\0", 2);
  EXPECT_EQ(z.getSizeWithoutTrailingZeros(), 0u);
  EXPECT_NE(b.byteAt(2), nullptr);
  EXPECT_EQ(b.byteAt(3), nullptr);
  EXPECT_TRUE(b.append(nullptr, 0));
}

TEST(DataBuffer, SizeShorteningAndClearing) {
  DataBuffer b;
  b.append("hello", 5);
  b.shortenBy(2);
  EXPECT_EQ(b.getSize(), 3u);
  b.shortenBy(10);
  EXPECT_EQ(b.getSize(), 0u);
  b.setSize(1000000);
  EXPECT_EQ(b.getSize(), b.getCapacity());
  uint32_t cap = b.getCapacity();
  b.clear();
  EXPECT_EQ(b.getSize(), 0u);
  EXPECT_EQ(b.getCapacity(), cap);
  b.append("secret", 6);
  uint8_t *p = b.getData();
  b.clearSecure();
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(b.getSize(), 0u);
  b.append("abc", 3);
  EXPECT_TRUE(b.shrinkToFit());
  EXPECT_EQ(b.getCapacity(), 7u);
  b.freeMemory();
  EXPECT_EQ(b.getData(), nullptr);
}

TEST(DataBuffer, BorrowedMemoryIsNeverFreedAndGrowsIntoOwnedMemory) {
  char outside[4] = {'w', 'x', 'y', 'z'};
  DataBuffer b;
  b.borrow(outside, 4);
  EXPECT_TRUE(b.isBorrowed());
  EXPECT_EQ(b.getCapacity(), 4u);
  ASSERT_TRUE(b.append("!", 1));
  EXPECT_FALSE(b.isBorrowed());
  EXPECT_EQ(std::memcmp(b.getData(), "wxyz!", 5), 0);
  EXPECT_EQ(outside[0], 'w');

  DataBuffer c;
  c.borrow(outside, 4);
  c.clear();
  EXPECT_EQ(c.getData(), nullptr);
  EXPECT_FALSE(c.isBorrowed());
}

TEST(DataBuffer, AdoptAndReleaseHandOverOwnership) {
  void *block = std::malloc(8);
  std::memcpy(block, "12345678", 8);
  DataBuffer b;
  b.adopt(block, 8);
  EXPECT_EQ(b.getSize(), 8u);
  uint8_t *data = b.getData();
  b.release();
  EXPECT_EQ(b.getSize(), 0u);
  EXPECT_EQ(b.getData(), nullptr);
  std::free(data);
}

TEST(DataBuffer, WideTextAndUnitEdits) {
  DataBuffer b;
  const char16_t text[] = u"a\\b\\c";
  ASSERT_TRUE(b.appendWideString(text));
  EXPECT_EQ(b.getSize(), 12u);
  b.replaceCharUtf16(u'\\', u'/');
  EXPECT_EQ(std::memcmp(b.getData(), u"a/b/c", 12), 0);
  b.removeCharUtf16(u'/');
  EXPECT_EQ(b.getSize(), 8u);
  EXPECT_EQ(std::memcmp(b.getData(), u"abc", 8), 0);
  DataBuffer n;
  n.appendWideString(nullptr);
  EXPECT_EQ(n.getSize(), 2u);
}

TEST(DataBuffer, SwapBytes32LeavesAPartialTailAlone) {
  DataBuffer b;
  b.append("\x01\x02\x03\x04\x05\x06\x07\x08\x09", 9);
  b.swapBytes32();
  EXPECT_EQ(std::memcmp(b.getData(), "\x04\x03\x02\x01\x08\x07\x06\x05\x09", 9), 0);
}

TEST(DataBufferDeathTest, UseAfterDestructionIsFatal) {
  alignas(DataBuffer) unsigned char storage[sizeof(DataBuffer)];
  auto *b = new (storage) DataBuffer;
  b->~DataBuffer();
  EXPECT_DEATH(b->getSize(), "DataBuffer");
}
