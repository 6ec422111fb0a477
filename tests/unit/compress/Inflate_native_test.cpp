// Our inflater against zlib's deflater: every level, strategy and window size, raw and wrapped,
// whole and in random pieces down to single bytes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "RecordingLog.h"
#include "ZlibReference.h"
#include "base/DataBuffer.h"
#include "compress/InflateFrame.h"
#include "compress/InflateState.h"
#include "compress/OutputDataBuffer.h"

namespace {
using Bytes = std::vector<uint8_t>;

Bytes ownExecutable() {
  Bytes data;
  if (FILE *f = std::fopen("/proc/self/exe", "rb")) {
    uint8_t block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) data.insert(data.end(), block, block + n);
    std::fclose(f);
  }
  return data;
}

Bytes makeText(std::mt19937 &rng, size_t size) {
  static const char *words[] = {"the ",  "inflate ", "window ",  "block ", "of ",       "and ",   "stream ",
                                "code ", "length ",  "Huffman ", "\n",     "distance ", "zlib, ", "data. "};
  Bytes out;
  while (out.size() < size) {
    const char *w = words[rng() % (sizeof words / sizeof *words)];
    out.insert(out.end(), w, w + std::char_traits<char>::length(w));
  }
  out.resize(size);
  return out;
}

Bytes makeData(int kind, std::mt19937 &rng, size_t size) {
  static const Bytes binary = ownExecutable();
  Bytes out;
  switch (kind % 5) {
    case 0:
      return makeText(rng, size);
    case 1: {
      size_t from = binary.size() > size ? rng() % (binary.size() - size) : 0;
      out.assign(binary.begin() + from, binary.begin() + from + std::min(size, binary.size()));
      return out;
    }
    case 2:
      out.resize(size);
      for (auto &b : out) b = uint8_t(rng());
      return out;
    case 3:
      // Long runs of few values: distance-1 matches of the maximum length.
      while (out.size() < size) out.insert(out.end(), 1 + rng() % 3000, uint8_t(rng() % 3));
      out.resize(size);
      return out;
    default: {
      // Text and random bytes interleaved, with repeats far back in the window.
      Bytes text = makeText(rng, size / 2);
      out = text;
      for (size_t i = 0; i < size / 4; ++i) out.push_back(uint8_t(rng()));
      out.insert(out.end(), text.begin(), text.begin() + std::min(text.size(), size - out.size()));
      return out;
    }
  }
}

// Feeds `stream` to one decoder in pieces whose sizes come from `pieceSize`.
template <class PieceSize>
bool decodeInPieces(const Bytes &stream, bool zlibWrapped, PieceSize pieceSize, DataBuffer &out,
                    LogBase &log) {
  InflateState inflater;
  if (!zlibWrapped) inflater.useRawDeflate();
  OutputDataBuffer sink(&out);
  size_t at = 0;
  while (at < stream.size() && !inflater.isFinished()) {
    size_t n = std::min(stream.size() - at, size_t(pieceSize()));
    if (!inflater.inflateBlock(stream.data() + at, uint32_t(n), sink, nullptr, log)) return false;
    at += n;
  }
  return true;
}

Bytes toBytes(const DataBuffer &buffer) {
  return Bytes(buffer.getData(), buffer.getData() + buffer.getSize());
}
}  // namespace

TEST(InflateAgainstZlib, EveryLevelStrategyAndWindowWholeAndInPieces) {
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  std::mt19937 rng(2024);
  int combination = 0;
  for (int level = 0; level <= 9; ++level) {
    for (int strategy : strategies) {
      for (int windowBits = 9; windowBits <= 15; ++windowBits) {
        for (bool wrapped : {false, true}) {
          ++combination;
          SCOPED_TRACE("level " + std::to_string(level) + " strategy " + std::to_string(strategy) +
                       " window " + std::to_string(windowBits) + (wrapped ? " zlib" : " raw"));
          Bytes data = makeData(combination, rng, 1000 + rng() % 90000);
          Bytes stream = zlibCompress(data, level, strategy, windowBits, wrapped);

          DataBuffer compressed, whole;
          compressed.append(stream.data(), uint32_t(stream.size()));
          RecordingLog log;
          ASSERT_TRUE(inflateBuffer(wrapped, compressed, whole, false, nullptr, log))
              << testing::PrintToString(log.entries);
          ASSERT_EQ(toBytes(whole), data);

          DataBuffer pieces;
          uint32_t largest = 1 + rng() % 5000;
          ASSERT_TRUE(decodeInPieces(
              stream, wrapped, [&] { return 1 + rng() % largest; }, pieces, log));
          ASSERT_EQ(toBytes(pieces), data);
        }
      }
    }
  }
}

TEST(InflateAgainstZlib, OneBytePieces) {
  std::mt19937 rng(7);
  for (int kind = 0; kind < 5; ++kind) {
    Bytes data = makeData(kind, rng, 40000);
    for (bool wrapped : {false, true}) {
      Bytes stream = zlibCompress(data, 1 + kind * 2, Z_DEFAULT_STRATEGY, 15, wrapped);
      DataBuffer out;
      RecordingLog log;
      ASSERT_TRUE(decodeInPieces(
          stream, wrapped, [] { return 1; }, out, log));
      Bytes got = toBytes(out);
      size_t diff = 0;
      while (diff < got.size() && diff < data.size() && got[diff] == data[diff]) ++diff;
      ASSERT_EQ(got, data) << "kind " << kind << " first difference at " << diff << " of " << got.size();
    }
  }
}

TEST(InflateCorrupt, BitFlipsAgreeWithZlibWhereverZlibAccepts) {
  std::mt19937 rng(99);
  int accepted = 0;
  for (int round = 0; round < 200; ++round) {
    Bytes data = makeData(round, rng, 2000 + rng() % 30000);
    Bytes stream = zlibCompress(data, 1 + round % 9, round % 3 ? Z_DEFAULT_STRATEGY : Z_FIXED, 15, false);
    for (int flips = 1 + rng() % 3; flips > 0; --flips)
      stream[rng() % stream.size()] ^= uint8_t(1 << (rng() % 8));
    DataBuffer whole, pieces;
    DataBuffer compressed;
    compressed.append(stream.data(), uint32_t(stream.size()));
    RecordingLog log, pieceLog;
    bool ok = inflateBuffer(false, compressed, whole, false, nullptr, log);
    bool pieceOk = decodeInPieces(
        stream, false, [&] { return 1 + rng() % 64; }, pieces, pieceLog);
    ASSERT_EQ(ok, pieceOk) << round;
    if (!ok) {
      EXPECT_TRUE(log.has("error:inflate decode error.")) << round;
    } else {
      ASSERT_EQ(toBytes(whole), toBytes(pieces)) << round;
    }
    Bytes reference;
    if (zlibDecodes(stream, reference)) {
      ++accepted;
      ASSERT_TRUE(ok) << round;
      ASSERT_EQ(toBytes(whole), reference) << round;
    }
  }
  EXPECT_GT(accepted, 0);
}

TEST(InflateCorrupt, TruncatedRawStreamsGiveAShortOutput) {
  std::mt19937 rng(5);
  for (int round = 0; round < 60; ++round) {
    Bytes data = makeData(round, rng, 5000 + rng() % 60000);
    Bytes stream = zlibCompress(data, 6, Z_DEFAULT_STRATEGY, 15, false);
    stream.resize(rng() % stream.size());
    DataBuffer compressed, out;
    if (!stream.empty()) compressed.append(stream.data(), uint32_t(stream.size()));
    RecordingLog log;
    ASSERT_TRUE(inflateBuffer(false, compressed, out, false, nullptr, log)) << round;
    Bytes got = toBytes(out);
    ASSERT_LE(got.size(), data.size());
    ASSERT_TRUE(std::equal(got.begin(), got.end(), data.begin())) << round;
  }
}
