// libdeflate's streams checked by zlib, the reference inflater: every level must give a raw
// deflate stream that zlib inflates back to the chunk, ending exactly where the stream ends.
#include "ChunkCompressor.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

namespace {

// Inflates a raw stream; false unless it ends exactly at the end of `stream`.
bool zlibInflate(const std::string &stream, size_t expected, std::string &out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  out.assign(expected + 1, '\0');
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(stream.data()));
  z.avail_in = uInt(stream.size());
  z.next_out = reinterpret_cast<Bytef *>(&out[0]);
  z.avail_out = uInt(out.size());
  int rc = inflate(&z, Z_FINISH);
  out.resize(z.total_out);
  bool whole = rc == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  return whole;
}

std::string mixedChunk() {
  std::mt19937 rnd(3);
  std::string chunk;
  while (chunk.size() < 700000) {
    chunk += "record " + std::to_string(rnd() % 5000) + " value " + std::to_string(rnd()) + "\n";
    if (rnd() % 50 == 0) chunk.append(rnd() % 3000, char(rnd()));
  }
  return chunk;
}

TEST(ChunkCompressor, EveryLevelInflatesBackWithZlib) {
  const std::string chunk = mixedChunk();
  size_t previous = chunk.size();
  for (int level = 1; level <= kMaxLevel; ++level) {
    ChunkCompressor compressor(level);
    ASSERT_TRUE(compressor.ready());
    std::string deflated, inflated;
    ASSERT_TRUE(compressor.deflate(chunk, deflated)) << level;
    ASSERT_TRUE(zlibInflate(deflated, chunk.size(), inflated)) << level;
    EXPECT_TRUE(inflated == chunk) << level;
    // A compressor is reused from chunk to chunk; the second stream must stand on its own too.
    std::string again;
    ASSERT_TRUE(compressor.deflate(chunk.substr(1000, 5000), again));
    ASSERT_TRUE(zlibInflate(again, 5000, inflated));
    EXPECT_EQ(inflated, chunk.substr(1000, 5000));
    if (level == 1 || level == 6 || level == 12) {
      EXPECT_LT(deflated.size(), previous) << level;
      previous = deflated.size();
    }
  }
}

TEST(ChunkCompressor, WhatDoesNotShrinkIsLeftToBeStored) {
  std::mt19937 rnd(4);
  std::string noise(100000, '\0');
  for (char &c : noise) c = char(rnd());
  ChunkCompressor compressor(12);
  std::string deflated;
  EXPECT_FALSE(compressor.deflate(noise, deflated));
  EXPECT_FALSE(compressor.deflate("", deflated));
  // A single byte cannot shrink either: the shortest stream holding it takes more.
  EXPECT_FALSE(compressor.deflate("a", deflated));
  ChunkCompressor store(0);
  EXPECT_TRUE(store.ready());
  EXPECT_FALSE(store.deflate(std::string(10000, 'a'), deflated));
}

TEST(ChunkCompressor, BeatsZlibsBestLevelAtItsOwn) {
  const std::string chunk = mixedChunk();
  ChunkCompressor compressor(12);
  std::string ours;
  ASSERT_TRUE(compressor.deflate(chunk, ours));
  z_stream z{};
  ASSERT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string zlibs(deflateBound(&z, uLong(chunk.size())), '\0');
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(chunk.data()));
  z.avail_in = uInt(chunk.size());
  z.next_out = reinterpret_cast<Bytef *>(&zlibs[0]);
  z.avail_out = uInt(zlibs.size());
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  size_t zlibSize = z.total_out;
  deflateEnd(&z);
  EXPECT_LT(ours.size(), zlibSize);
}

}  // namespace
