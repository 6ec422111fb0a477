#include "compress/InflateState.h"

#include <gtest/gtest.h>

#include <string>

#include "DeflateWriter.h"
#include "LimitedOutput.h"
#include "RecordingLog.h"
#include "base/DataBuffer.h"
#include "base/Logger.h"
#include "base/StringBuffer.h"
#include "compress/InflateFrame.h"
#include "compress/MemoryDataSource.h"
#include "compress/OutputDataBuffer.h"

namespace {
using Bytes = std::vector<uint8_t>;

struct Result {
  bool ok;
  Bytes output;
  RecordingLog log;
};

// Decodes with one InflateState, in pieces of `piece` bytes (0: all at once).
Result decode(const Bytes &stream, size_t piece = 0, bool zlib = false, bool enhanced = false) {
  Result r{true, {}, {}};
  DataBuffer out;
  OutputDataBuffer sink(&out);
  InflateState inflater;
  if (!zlib) inflater.useRawDeflate();
  if (enhanced) inflater.useEnhancedWindow();
  size_t step = piece ? piece : stream.size() + 1;
  for (size_t at = 0; r.ok && at < stream.size() && !inflater.isFinished(); at += step) {
    size_t n = std::min(step, stream.size() - at);
    r.ok = inflater.inflateBlock(stream.data() + at, uint32_t(n), sink, nullptr, r.log);
  }
  if (out.getSize() > 0) r.output.assign(out.getData(), out.getData() + out.getSize());
  return r;
}

void expectDecodeError(const Bytes &stream, int number, bool zlib = false) {
  for (size_t piece : {size_t(0), size_t(1), size_t(3)}) {
    Result r = decode(stream, piece, zlib);
    EXPECT_FALSE(r.ok) << "piece " << piece;
    EXPECT_TRUE(r.log.has("decodeErrNum=" + std::to_string(number))) << "piece " << piece;
    EXPECT_TRUE(r.log.has("error:inflate decode error.")) << "piece " << piece;
  }
}

// Forty literals first, so that the error is met by the fast path as well as the state machine.
DeflateWriter fixedBlockWithLiterals() {
  DeflateWriter w;
  w.blockHeader(true, 1);
  for (int i = 0; i < 40; ++i) w.fixedSymbol('a' + i % 26);
  return w;
}

Bytes storedBlock(bool last, const Bytes &data) {
  DeflateWriter w;
  w.blockHeader(last, 0);
  w.alignToByte();
  w.bits(uint32_t(data.size()), 16);
  w.bits(uint32_t(data.size()) ^ 0xFFFF, 16);
  Bytes out = w.bytes();
  out.insert(out.end(), data.begin(), data.end());
  return out;
}
}  // namespace

TEST(InflateState, ZlibHeaderChecks) {
  // 0x78 0x9C is zlib's own header; each variant breaks one rule.
  expectDecodeError({0x77, 0x85, 0x03, 0x00}, 1, true);  // method 7
  expectDecodeError({0x88, 0x98, 0x03, 0x00}, 1, true);  // window code 8
  expectDecodeError({0x78, 0xBB, 0x03, 0x00}, 1, true);  // preset dictionary
  expectDecodeError({0x78, 0x9D, 0x03, 0x00}, 1, true);  // check not divisible by 31
  Result r = decode({0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}, 0, true);
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(r.output.empty());
}

TEST(InflateState, InvalidCodeLengthCode) {
  DeflateWriter w;
  w.blockHeader(true, 2);
  w.bits(0, 5);  // HLIT 257
  w.bits(0, 5);  // HDIST 1
  w.bits(0, 4);  // HCLEN 4: lengths of 16, 17, 18, 0
  w.bits(0, 3);
  w.bits(0, 3);
  w.bits(0, 3);
  w.bits(1, 3);  // only symbol 0 has a code ("0"); "1" is nobody's
  w.bits(0xFF, 8);
  w.bits(0xFF, 8);
  expectDecodeError(w.bytes(), 2);
}

TEST(InflateState, LiteralLengthSymbols286And287AreInvalid) {
  for (int symbol : {286, 287}) {
    DeflateWriter w = fixedBlockWithLiterals();
    w.fixedSymbol(symbol);
    for (int i = 0; i < 20; ++i) w.fixedSymbol(256);
    expectDecodeError(w.bytes(), 3);
  }
}

TEST(InflateState, DistanceSymbols30And31OnlyInEnhancedMode) {
  DeflateWriter w = fixedBlockWithLiterals();
  w.fixedSymbol(257);   // length 3
  w.fixedDistance(30);  // 14 extra bits follow
  w.bits(0, 14);
  w.fixedSymbol(256);
  for (int i = 0; i < 20; ++i) w.fixedSymbol(256);
  expectDecodeError(w.bytes(), 5);
  // In enhanced mode the same stream is a distance of 32769, beyond the 40 bytes made so far.
  Result r = decode(w.bytes(), 0, false, true);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.log.has("decodeErrNum=9"));
}

TEST(InflateState, DistanceBeforeTheFirstByteIsAnError) {
  DeflateWriter w = fixedBlockWithLiterals();
  w.fixedSymbol(257);
  w.fixedDistance(10);  // 33 + four extra bits: 41 > 40
  w.bits(8, 4);
  for (int i = 0; i < 20; ++i) w.fixedSymbol(256);
  expectDecodeError(w.bytes(), 9);

  DeflateWriter first;
  first.blockHeader(true, 1);
  first.fixedSymbol(257);
  first.fixedDistance(0);
  first.fixedSymbol(256);
  expectDecodeError(first.bytes(), 9);
}

TEST(InflateState, StoredLengthCheckAndReservedType) {
  Bytes stream = storedBlock(true, {1, 2, 3});
  stream[3] ^= 1;  // NLEN no longer the complement
  expectDecodeError(stream, 7);

  DeflateWriter reserved;
  reserved.blockHeader(true, 3);
  reserved.bits(0, 16);
  expectDecodeError(reserved.bytes(), 10);
}

TEST(InflateState, OutputFailuresWhileFillingTheWindow) {
  Bytes almostFull(32767, 'x');
  // A literal that fills the window: error 4.
  Bytes literal = storedBlock(false, almostFull);
  DeflateWriter tail;
  tail.blockHeader(true, 1);
  tail.fixedSymbol('y');
  tail.fixedSymbol(256);
  Bytes tailBytes = tail.bytes();
  literal.insert(literal.end(), tailBytes.begin(), tailBytes.end());
  // A match that fills it: error 6.
  Bytes match = storedBlock(false, almostFull);
  DeflateWriter copy;
  copy.blockHeader(true, 1);
  copy.fixedSymbol(258);  // length 4
  copy.fixedDistance(0);
  copy.fixedSymbol(256);
  Bytes copyBytes = copy.bytes();
  match.insert(match.end(), copyBytes.begin(), copyBytes.end());
  // Stored bytes that fill it: error 8.
  Bytes stored = storedBlock(true, Bytes(40000, 's'));

  for (auto [stream, number] : {std::pair<Bytes, int>{literal, 4}, {match, 6}, {stored, 8}}) {
    InflateState inflater;
    inflater.useRawDeflate();
    LimitedOutput sink(0);
    RecordingLog log;
    EXPECT_FALSE(inflater.inflateBlock(stream.data(), uint32_t(stream.size()), sink, nullptr, log));
    EXPECT_TRUE(log.has("decodeErrNum=" + std::to_string(number))) << number;
    // A failed decoder stays failed.
    RecordingLog again;
    EXPECT_FALSE(inflater.inflateBlock(stream.data(), 1, sink, nullptr, again));
    EXPECT_TRUE(again.has("decodeErrNum=" + std::to_string(number)));
  }

  InflateState small;
  small.useRawDeflate();
  LimitedOutput sink(0);
  RecordingLog log;
  Bytes tiny = storedBlock(true, {1, 2, 3});
  EXPECT_FALSE(small.inflateBlock(tiny.data(), uint32_t(tiny.size()), sink, nullptr, log));
  EXPECT_TRUE(log.has("error:Failed to flush to output."));
}

TEST(InflateState, OverlappingMatchesAndEmptyStoredBlocks) {
  DeflateWriter w;
  Bytes empty = storedBlock(false, {});
  w.blockHeader(true, 1);
  w.fixedSymbol('z');
  w.fixedSymbol(285);  // length 258 at distance 1
  w.fixedDistance(0);
  w.fixedSymbol(256);
  Bytes stream = empty;
  Bytes rest = w.bytes();
  stream.insert(stream.end(), rest.begin(), rest.end());
  stream.insert(stream.end(), 100, 0xEE);  // ignored: after the final block
  for (size_t piece : {size_t(0), size_t(1)}) {
    Result r = decode(stream, piece);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.output, Bytes(259, 'z'));
  }
}

TEST(InflateState, LengthSymbol285DependsOnTheMode) {
  DeflateWriter w;
  w.blockHeader(true, 1);
  w.fixedSymbol('q');
  w.fixedSymbol(285);
  w.bits(997, 16);  // enhanced: 3 + 997 = 1000 bytes; deflate: no extra bits, 258
  w.fixedDistance(0);
  w.fixedSymbol(256);
  for (int i = 0; i < 4; ++i) w.fixedSymbol(256);
  Result enhanced = decode(w.bytes(), 0, false, true);
  ASSERT_TRUE(enhanced.ok);
  EXPECT_EQ(enhanced.output, Bytes(1001, 'q'));
  // The same bits in deflate mode take 285 as 258 and read the extra bits as a distance code.
  Result deflate = decode(w.bytes());
  EXPECT_FALSE(deflate.ok);
}

TEST(InflateSource, EmptySourceAndTrailingBytesAreNotRead) {
  InflateState inflater;
  inflater.useRawDeflate();
  MemoryDataSource none;
  DataBuffer out;
  OutputDataBuffer sink(&out);
  RecordingLog log;
  EXPECT_TRUE(inflater.inflateSource(none, 0, sink, nullptr, log));
  EXPECT_EQ(out.getSize(), 0u);

  Bytes stream = storedBlock(true, {'o', 'k'});
  stream.insert(stream.end(), 5000, 0);
  MemoryDataSource source;
  source.setData(stream.data(), stream.size());
  InflateState second;
  second.useRawDeflate();
  EXPECT_TRUE(second.inflateSource(source, 100, sink, nullptr, log));  // clamped to 256
  EXPECT_EQ(source.getPosition(), 256);
  EXPECT_EQ(out.getSize(), 2u);
}

TEST(InflateFrame, ZlibTrailerAndFlags) {
  // zlib.compress(b"hello") made by Python's zlib.
  const Bytes hello = {0x78, 0x9c, 0xcb, 0x48, 0xcd, 0xc9, 0xc9, 0x07, 0x00, 0x06, 0x2c, 0x02, 0x15};
  DataBuffer in, out;
  in.append(hello.data(), uint32_t(hello.size()));
  out.append("ab", 2);
  RecordingLog log;
  log.m_verbose = true;
  ASSERT_TRUE(inflateBuffer(true, in, out, false, nullptr, log));
  EXPECT_EQ(std::string(reinterpret_cast<char *>(out.getData()), out.getSize()), "abhello");
  EXPECT_TRUE(log.has("bZlib=1"));
  EXPECT_TRUE(log.has("computedAdler=0x62c0215"));
  EXPECT_TRUE(log.has("info:Computed and received Adler checksums match."));

  in.getData()[hello.size() - 1] ^= 1;
  out.clear();
  RecordingLog bad;
  EXPECT_FALSE(inflateBuffer(true, in, out, false, nullptr, bad));
  EXPECT_TRUE(bad.has("error:Computed and received Adler checksums do NOT match."));
  EXPECT_EQ(out.getSize(), 5u);

  DataBuffer empty;
  RecordingLog raw, wrapped;
  EXPECT_TRUE(inflateBuffer(false, empty, out, false, nullptr, raw));
  EXPECT_FALSE(inflateBuffer(true, empty, out, false, nullptr, wrapped));
  EXPECT_TRUE(wrapped.has("error:Computed and received Adler checksums do NOT match."));

  Bytes broken = storedBlock(true, {1});
  broken[3] ^= 1;
  DataBuffer brokenIn;
  brokenIn.append(broken.data(), uint32_t(broken.size()));
  RecordingLog failed;
  EXPECT_FALSE(inflateBuffer(false, brokenIn, out, false, nullptr, failed));
  EXPECT_TRUE(failed.has("error:inflateBlock failed."));
  EXPECT_TRUE(failed.has("error:Inflate from source failed."));
}

TEST(InflateFrame, DecodeErrorReadsWellInTheRealLog) {
  Bytes stream = storedBlock(true, {1, 2});
  stream[3] ^= 1;
  DataBuffer in, out;
  in.append(stream.data(), uint32_t(stream.size()));
  Logger log;
  EXPECT_FALSE(inflateBuffer(false, in, out, false, nullptr, log));
  StringBuffer text;
  log.copyLogText(text);
  std::string rendered(text.getText());
  EXPECT_NE(rendered.find("decodeErrNum: 7"), std::string::npos) << rendered;
  EXPECT_NE(rendered.find("inflate decode error."), std::string::npos) << rendered;
  EXPECT_LT(rendered.find("inflate decode error."), rendered.find("Inflate from source failed."));
}

// A stream whose end-of-block code fills its last byte exactly: the decoder must still see that
// the final block is over, with no input left to look at.
TEST(InflateState, AStreamEndingOnAByteBoundaryIsFinished) {
  for (int lowLiterals : {0, 40}) {
    DeflateWriter w;
    w.blockHeader(true, 1);
    for (int i = 0; i < lowLiterals; ++i) w.fixedSymbol('a' + i % 26);
    // Six 9-bit literals: 3 + 8n + 54 + 7 bits is a whole number of bytes.
    for (int i = 0; i < 6; ++i) w.fixedSymbol(200 + i);
    w.fixedSymbol(256);
    Bytes stream = w.bytes();
    ASSERT_EQ(stream.size() * 8, size_t(3 + 8 * lowLiterals + 54 + 7));
    DataBuffer out;
    OutputDataBuffer sink(&out);
    InflateState inflater;
    inflater.useRawDeflate();
    LogNull log;
    ASSERT_TRUE(inflater.inflateBlock(stream.data(), uint32_t(stream.size()), sink, nullptr, log));
    EXPECT_TRUE(inflater.isFinished()) << lowLiterals;
    EXPECT_EQ(out.getSize(), uint32_t(lowLiterals + 6));
  }
}
