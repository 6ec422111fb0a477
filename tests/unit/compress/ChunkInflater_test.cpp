#include "compress/ChunkInflater.h"

#include <gtest/gtest.h>

#include <random>

#include "ChunkRun.h"
#include "DeflateWriter.h"

namespace {
using Bytes = std::vector<uint8_t>;
constexpr uint32_t kPiece = ChunkInflater::kWriteSize;

// A fixed-code block written symbol by symbol, with what it decodes to kept beside it the
// plain way, one byte at a time.
class FixedStream {
 public:
  FixedStream() { m_writer.blockHeader(true, 1); }
  void literal(uint8_t b) {
    m_writer.fixedSymbol(b);
    expected.push_back(b);
  }
  void match(uint32_t length, uint32_t distance) {
    static const uint16_t lengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                          31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    int l = 28;
    while (lengthBase[l] > length) --l;
    m_writer.fixedSymbol(257 + l);
    int lengthExtra = l < 8 || l == 28 ? 0 : (l - 4) / 4;
    m_writer.bits(length - lengthBase[l], lengthExtra);
    // Distance symbols: two per extra-bit count from 4 on.
    int d = 0;
    uint32_t base = 1;
    for (;; ++d) {
      int extra = d < 4 ? 0 : d / 2 - 1;
      if (distance < base + (1u << extra)) {
        m_writer.fixedDistance(d);
        m_writer.bits(distance - base, extra);
        break;
      }
      base += 1u << extra;
    }
    for (uint32_t i = 0; i < length; ++i) expected.push_back(expected[expected.size() - distance]);
  }
  Bytes finish() {
    m_writer.fixedSymbol(256);
    return m_writer.bytes();
  }
  DeflateWriter &writer() { return m_writer; }

  Bytes expected;

 private:
  DeflateWriter m_writer;
};

void expectSamePaths(ChunkInflater &inflater, const Bytes &stream, int failAt = -1) {
  ChunkRun fast = runChunk(inflater, stream, Path::kFast, failAt);
  ChunkRun careful = runChunk(inflater, stream, Path::kCareful, failAt);
  EXPECT_TRUE(fast == careful) << "fast " << fast.ok << " " << testing::PrintToString(fast.log) << " "
                               << testing::PrintToString(fast.writes) << "\ncareful " << careful.ok << " "
                               << testing::PrintToString(careful.log) << " "
                               << testing::PrintToString(careful.writes);
}

// Random literals, then matches of every kind until `size` bytes, the last few as literals.
FixedStream longStream(size_t size, std::mt19937 &rng) {
  FixedStream s;
  for (int i = 0; i < 40000; ++i) s.literal(uint8_t(rng()));
  const uint32_t distances[] = {1, 2, 3, 7, 8, 9, 16, 300, 32767, 32768};
  while (s.expected.size() < size) {
    size_t left = size - s.expected.size();
    if (left < 3 || rng() % 7 == 0) {
      s.literal(uint8_t(rng()));
      continue;
    }
    uint32_t length = std::min<uint32_t>(uint32_t(left), 3 + rng() % 256);
    s.match(length, distances[rng() % 10]);
  }
  return s;
}
}  // namespace

TEST(ChunkInflater, OverlappingMatchesOfEveryShortDistanceAndLength) {
  ChunkInflater inflater;
  std::mt19937 rng(5);
  for (uint32_t distance = 1; distance <= 24; ++distance) {
    for (uint32_t length : {3u, 4u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 100u, 257u, 258u}) {
      FixedStream s;
      for (int i = 0; i < 24; ++i) s.literal(uint8_t(rng()));
      s.match(length, distance);
      s.literal('x');
      s.match(length, distance);
      Bytes stream = s.finish();
      ChunkRun run = runChunk(inflater, stream, Path::kFast);
      ASSERT_EQ(inflater.carefulChunks(), 0u);
      ASSERT_TRUE(run.ok) << distance << " " << length;
      ASSERT_EQ(run.bytes, s.expected) << distance << " " << length;
      ASSERT_EQ(run.writes, std::vector<uint32_t>{uint32_t(s.expected.size())});
    }
  }
}

TEST(ChunkInflater, OutputBeyondTheBufferGoesOutInFullPiecesAsBefore) {
  ChunkInflater inflater;
  std::mt19937 rng(11);
  // Ends inside a piece, at a piece's end, just past it, and at the window boundary after it,
  // where the resumable decoder hands the piece on.
  const size_t firstBoundary = (kPiece / 32768 + 1) * 32768;
  for (size_t size :
       {2 * size_t(kPiece) + 12345, size_t(kPiece), size_t(kPiece) + 1, firstBoundary, firstBoundary - 1}) {
    FixedStream s = longStream(size, rng);
    Bytes stream = s.finish();
    uint64_t careful = inflater.carefulChunks();
    ChunkRun run = runChunk(inflater, stream, Path::kFast);
    ASSERT_EQ(inflater.carefulChunks(), careful);
    ASSERT_TRUE(run.ok) << size;
    ASSERT_TRUE(run.bytes == s.expected) << size;
    std::vector<uint32_t> writes;
    for (size_t left = size; left > 0; left -= writes.back())
      writes.push_back(uint32_t(std::min<size_t>(left, kPiece)));
    EXPECT_EQ(run.writes, writes) << size;
    EXPECT_EQ(run.produced, size);
    expectSamePaths(inflater, stream);
  }
}

TEST(ChunkInflater, FailedWritesAreReportedAsBeforeAndNeverRepeated) {
  ChunkInflater inflater;
  std::mt19937 rng(12);
  FixedStream s = longStream(2 * size_t(kPiece) + 999, rng);
  Bytes stream = s.finish();
  for (int failAt = 0; failAt < 3; ++failAt) {
    SCOPED_TRACE(failAt);
    expectSamePaths(inflater, stream, failAt);
    ChunkRun run = runChunk(inflater, stream, Path::kFast, failAt);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.calls, failAt + 1);
    EXPECT_EQ(run.produced, uint64_t(failAt) * kPiece);
    ASSERT_FALSE(run.log.empty());
    EXPECT_EQ(run.log.front(), "error:disk full");
    EXPECT_EQ(run.log.back(), "error:Failed to write file data.");
  }
  // Cut short after the first piece went out: that piece stays written, once.
  Bytes cut(stream.begin(), stream.begin() + stream.size() * 3 / 4);
  expectSamePaths(inflater, cut);
  ChunkRun run = runChunk(inflater, cut, Path::kFast);
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.writes.size(), 1u);
  EXPECT_EQ(run.log.back(), "error:Compressed data ends before its final block.");
}

TEST(ChunkInflater, DamagedStreamsGetTheResumableDecodersVerdict) {
  ChunkInflater inflater;
  std::vector<Bytes> streams;
  streams.push_back({});
  {
    DeflateWriter w;  // reserved block type
    w.blockHeader(true, 3);
    streams.push_back(w.bytes());
  }
  {
    DeflateWriter w;  // stored block whose length check is wrong, then one that is right and empty
    w.blockHeader(false, 0);
    w.alignToByte();
    w.bits(0, 16);
    w.bits(0xFFFF, 16);
    w.blockHeader(true, 0);
    w.alignToByte();
    w.bits(5, 16);
    w.bits(0x1234, 16);
    streams.push_back(w.bytes());
  }
  for (int symbol : {286, 287}) {
    FixedStream s;
    s.literal('a');
    s.writer().fixedSymbol(symbol);
    streams.push_back(s.finish());
  }
  for (int distanceSymbol : {30, 31}) {
    FixedStream s;
    for (int i = 0; i < 5; ++i) s.literal('a');
    s.writer().fixedSymbol(257);
    s.writer().fixedDistance(distanceSymbol);
    streams.push_back(s.finish());
  }
  {
    FixedStream s;  // reaches back before the first byte
    s.literal('a');
    s.literal('b');
    s.writer().fixedSymbol(257);
    s.writer().fixedDistance(2);
    streams.push_back(s.finish());
  }
  {
    // A dynamic block whose literal/length lengths over-subscribe the code space: the resumable
    // decoder takes such sets as they come.
    DeflateWriter w;
    w.blockHeader(true, 2);
    w.bits(0, 5);
    w.bits(0, 5);
    w.bits(1, 4);
    for (int length : {0, 0, 1, 0, 1}) w.bits(uint32_t(length), 3);  // symbols 16, 17, 18, 0, 8
    for (int i = 0; i < 258; ++i) w.code(0, 1);                      // every length 8
    for (int i = 0; i < 40; ++i) w.bits(uint32_t(i * 37 % 256), 8);
    streams.push_back(w.bytes());
  }
  {
    // Stored and fixed blocks, trailing bytes after the final block, and every truncation.
    DeflateWriter w;
    w.blockHeader(false, 0);
    w.alignToByte();
    w.bits(3, 16);
    w.bits(0xFFFC, 16);
    for (uint8_t b : {1, 2, 3}) w.byte(b);
    w.blockHeader(true, 1);
    for (int i = 0; i < 60; ++i) w.fixedSymbol(i % 7 + 'a');
    w.fixedSymbol(260);
    w.fixedDistance(4);
    w.bits(1, 1);
    w.fixedSymbol(256);
    Bytes whole = w.bytes();
    whole.push_back(0xFF);
    whole.push_back(0x00);
    for (size_t n = 0; n <= whole.size(); ++n) streams.emplace_back(whole.begin(), whole.begin() + n);
  }
  for (size_t i = 0; i < streams.size(); ++i) {
    SCOPED_TRACE(i);
    expectSamePaths(inflater, streams[i]);
  }
  ChunkRun empty = runChunk(inflater, streams[0], Path::kFast);
  EXPECT_FALSE(empty.ok);
  EXPECT_EQ(empty.log, std::vector<std::string>{"error:Compressed data ends before its final block."});
  ChunkRun reserved = runChunk(inflater, streams[1], Path::kFast);
  EXPECT_FALSE(reserved.ok);
  EXPECT_EQ(reserved.log.back(), "error:Failed to inflate compressed data.");
  EXPECT_TRUE(reserved.writes.empty());
}

TEST(ChunkInflater, AFailedChunkLeavesNothingBehindForTheNext) {
  ChunkInflater inflater;
  std::mt19937 rng(3);
  FixedStream s = longStream(100000, rng);
  Bytes good = s.finish();
  Bytes bad = good;
  bad[bad.size() / 2] ^= 0x5A;
  for (const Bytes *stream : {&good, &bad, &good}) {
    ChunkRun run = runChunk(inflater, *stream, Path::kFast);
    if (stream == &good) {
      ASSERT_TRUE(run.ok);
      ASSERT_TRUE(run.bytes == s.expected);
    }
  }
}
