// The chunk inflater against zlib's deflater: every level, strategy and window size, streams
// that expand past the buffer, and damaged or cut streams, where the fast decoder must give
// exactly the resumable decoder's verdict.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "ChunkRun.h"
#include "ZlibReference.h"

namespace {
using Bytes = std::vector<uint8_t>;

Bytes sample(std::mt19937 &rng, int kind, size_t size) {
  static const char *words[] = {"chunk ", "inflate ", "window ", "table ", "of ", "and ", "\n", "literal, "};
  Bytes out;
  switch (kind % 4) {
    case 0:
      while (out.size() < size) {
        const char *w = words[rng() % 8];
        out.insert(out.end(), w, w + std::char_traits<char>::length(w));
      }
      break;
    case 1:
      while (out.size() < size) out.push_back(uint8_t(rng() % 7 == 0 ? rng() : out.size() % 251));
      break;
    case 2:
      while (out.size() < size) out.insert(out.end(), 1 + rng() % 3000, uint8_t(rng() % 3));
      break;
    default:
      while (out.size() < size) out.push_back(uint8_t(rng()));
  }
  out.resize(size);
  return out;
}

}  // namespace

TEST(ChunkInflaterAgainstZlib, EveryLevelStrategyAndWindowOnTheFastPath) {
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  std::mt19937 rng(13);
  ChunkInflater inflater;
  int combination = 0;
  for (int level = 0; level <= 9; ++level) {
    for (int strategy : strategies) {
      for (int windowBits = 9; windowBits <= 15; windowBits += 3) {
        ++combination;
        SCOPED_TRACE(std::to_string(level) + " " + std::to_string(strategy) + " " +
                     std::to_string(windowBits));
        Bytes data = sample(rng, combination, 1 + rng() % 200000);
        // memLevel 1 makes small blocks: many dynamic headers per chunk.
        Bytes stream = zlibCompress(data, level, strategy, windowBits, false, 1 + combination % 9);
        ChunkRun run = runChunk(inflater, stream, Path::kFast);
        ASSERT_TRUE(run.ok) << testing::PrintToString(run.log);
        ASSERT_TRUE(run.bytes == data);
        ASSERT_EQ(run.writes.size(), 1u);
      }
    }
  }
  EXPECT_EQ(inflater.carefulChunks(), 0u);
}

TEST(ChunkInflaterAgainstZlib, ChunksThatExpandPastTheBuffer) {
  std::mt19937 rng(14);
  ChunkInflater inflater;
  for (int kind : {0, 1, 2}) {
    Bytes data = sample(rng, kind, 5 * ChunkInflater::kWriteSize / 2 + rng() % 100000);
    Bytes stream = zlibCompress(data, 6, Z_DEFAULT_STRATEGY, 15, false);
    ChunkRun fast = runChunk(inflater, stream, Path::kFast);
    ASSERT_TRUE(fast.ok);
    ASSERT_TRUE(fast.bytes == data);
    EXPECT_EQ(fast.writes, (std::vector<uint32_t>{ChunkInflater::kWriteSize, ChunkInflater::kWriteSize,
                                                  uint32_t(data.size() - 2 * ChunkInflater::kWriteSize)}));
    EXPECT_TRUE(fast == runChunk(inflater, stream, Path::kCareful));
  }
  EXPECT_EQ(inflater.carefulChunks(), 3u);
}

TEST(ChunkInflaterAgainstZlib, DamagedAndCutStreamsGetTheResumableDecodersVerdict) {
  std::mt19937 rng(15);
  ChunkInflater inflater;
  int zlibAccepted = 0;
  for (int round = 0; round < 300; ++round) {
    Bytes data = sample(rng, round, 500 + rng() % 40000);
    Bytes stream = zlibCompress(data, 1 + round % 9, round % 4 ? Z_DEFAULT_STRATEGY : Z_FIXED, 15, false);
    if (round % 3 == 0) {
      stream.resize(rng() % stream.size());
    } else {
      for (int flips = 1 + rng() % 3; flips > 0; --flips)
        stream[rng() % stream.size()] ^= uint8_t(1 << (rng() % 8));
    }
    ChunkRun fast = runChunk(inflater, stream, Path::kFast);
    ChunkRun careful = runChunk(inflater, stream, Path::kCareful);
    ASSERT_TRUE(fast == careful) << round << " " << testing::PrintToString(fast.log) << " "
                                 << testing::PrintToString(careful.log);
    Bytes reference;
    if (zlibDecodes(stream, reference)) {
      ++zlibAccepted;
      ASSERT_TRUE(fast.ok) << round;
      ASSERT_TRUE(fast.bytes == reference) << round;
    }
  }
  EXPECT_GT(zlibAccepted, 0);
}
