// Frames made by tests/fixtures/make_bzip2_frame.py with Python's bz2.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/DataBuffer.h"
#include "base/ZipCRC.h"
#include "compress/QuorvelBzip2.h"
#include "FixtureFile.h"

namespace {
std::vector<uint8_t> fixture(const std::string &name) { return readFixture("bzip2/" + name); }

void setStoredSize(std::vector<uint8_t> &frame, uint32_t size) {
  for (int i = 0; i < 4; ++i) frame[4 + i] = uint8_t(size >> (8 * i));
}

struct Expected {
  unsigned long size = 0, crc = 0;
};

Expected expected() {
  std::vector<uint8_t> text = fixture("frame.txt");
  Expected e;
  std::sscanf(std::string(text.begin(), text.end()).c_str(), "%lu %lx", &e.size, &e.crc);
  return e;
}
}  // namespace

TEST(QuorvelBzip2, DecodesPythonFrames) {
  std::vector<uint8_t> frame = fixture("frame.bin");
  ASSERT_GT(frame.size(), 8u);
  Expected e = expected();
  DataBuffer out;
  out.append("old", 3);
  QuorvelBzip2 bzip2;
  ASSERT_TRUE(bzip2.decodeFramed(frame.data(), uint32_t(frame.size()), out));
  EXPECT_EQ(out.getSize(), e.size);
  EXPECT_EQ(ZipCRC::crc32(out.getData(), out.getSize()), e.crc);
}

TEST(QuorvelBzip2, StoredSizeLeavesTwentyBytesOfSlack) {
  std::vector<uint8_t> frame = fixture("frame.bin");
  Expected e = expected();
  QuorvelBzip2 bzip2;
  DataBuffer out;
  setStoredSize(frame, uint32_t(e.size - 20));
  EXPECT_TRUE(bzip2.decodeFramed(frame.data(), uint32_t(frame.size()), out));
  EXPECT_EQ(out.getSize(), e.size);
  setStoredSize(frame, uint32_t(e.size - 21));
  EXPECT_FALSE(bzip2.decodeFramed(frame.data(), uint32_t(frame.size()), out));
  EXPECT_EQ(out.getSize(), 0u);
}

TEST(QuorvelBzip2, EdgeFrames) {
  std::vector<uint8_t> frame = fixture("frame.bin");
  QuorvelBzip2 bzip2;
  DataBuffer out;

  for (uint32_t n = 1; n < 8; ++n) {
    out.append("x", 1);
    EXPECT_TRUE(bzip2.decodeFramed(frame.data(), n, out));
    EXPECT_EQ(out.getSize(), 0u);
  }
  std::vector<uint8_t> zero = frame;
  setStoredSize(zero, 0);
  zero[20] ^= 0xFF;  // whatever follows
  out.append("x", 1);
  EXPECT_TRUE(bzip2.decodeFramed(zero.data(), uint32_t(zero.size()), out));
  EXPECT_EQ(out.getSize(), 0u);

  EXPECT_TRUE(bzip2.decodeFramed(frame.data(), 8, out));
  EXPECT_EQ(out.getSize(), 0u);

  std::vector<uint8_t> badMagic = frame;
  badMagic[0] ^= 1;
  out.append("kept", 4);
  EXPECT_FALSE(bzip2.decodeFramed(badMagic.data(), uint32_t(badMagic.size()), out));
  EXPECT_EQ(out.getSize(), 4u);

  EXPECT_FALSE(bzip2.decodeFramed(frame.data(), uint32_t(frame.size() - 10), out));
  EXPECT_EQ(out.getSize(), 0u);
  std::vector<uint8_t> corrupt = frame;
  corrupt[frame.size() / 2] ^= 0x10;
  EXPECT_FALSE(bzip2.decodeFramed(corrupt.data(), uint32_t(corrupt.size()), out));
}
