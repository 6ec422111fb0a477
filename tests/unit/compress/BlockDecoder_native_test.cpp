// The block decoders against blocks made by libzstd's and liblzma's own encoders, and frames
// written by hand where a header must lie: every limit is checked before anything is decoded.
#include <gtest/gtest.h>
#include <lzma.h>
#include <zstd.h>

#include <string>

#include "compress/BlockDecoder.h"
#include "RecordingLog.h"

namespace {

std::string sampleText(size_t size) {
  std::string text;
  for (unsigned i = 0; text.size() < size; ++i) text += "line " + std::to_string(i * 7919 % 1000) + " of text\n";
  text.resize(size);
  return text;
}

std::string zstdFrame(const std::string &raw, bool contentSize = true) {
  ZSTD_CCtx *c = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(c, ZSTD_c_contentSizeFlag, contentSize ? 1 : 0);
  ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
  std::string out(ZSTD_compressBound(raw.size()), '\0');
  out.resize(ZSTD_compress2(c, &out[0], out.size(), raw.data(), raw.size()));
  ZSTD_freeCCtx(c);
  return out;
}

// A frame of one raw block of `size` bytes whose header asks for a window of 2^windowLog.
std::string zstdFrameWithWindow(int windowLog, uint32_t size) {
  std::string f = "\x28\xB5\x2F\xFD";
  f += char(0xC0);                     // 8-byte content size, window descriptor follows
  f += char((windowLog - 10) << 3);    // exponent, no mantissa
  for (int i = 0; i < 8; ++i) f += char(uint64_t(size) >> (8 * i));
  const uint32_t block = size << 3 | 1;  // last block, raw
  f += std::string{char(block), char(block >> 8), char(block >> 16)};
  f += std::string(size, 'w');
  return f;
}

std::string xzStream(const std::string &raw, uint32_t preset, bool x86 = false) {
  lzma_options_lzma options;
  lzma_lzma_preset(&options, preset);
  lzma_filter filters[3] = {{LZMA_FILTER_X86, nullptr}, {LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  std::string out(lzma_stream_buffer_bound(raw.size()), '\0');
  size_t pos = 0;
  EXPECT_EQ(lzma_stream_buffer_encode(x86 ? filters : filters + 1, LZMA_CHECK_CRC32, nullptr,
                                      reinterpret_cast<const uint8_t *>(raw.data()), raw.size(),
                                      reinterpret_cast<uint8_t *>(&out[0]), &pos, out.size()),
            LZMA_OK);
  out.resize(pos);
  return out;
}

bool decode(BlockCodec codec, uint32_t limit, const std::string &in, uint32_t rawSize, DataBuffer &out,
            RecordingLog &log) {
  auto decoder = BlockDecoder::create(codec, limit);
  return decoder != nullptr &&
         decoder->decodeInto(reinterpret_cast<const uint8_t *>(in.data()), uint32_t(in.size()), rawSize, out, log);
}

std::string text(const DataBuffer &b) { return std::string(reinterpret_cast<const char *>(b.getData()), b.getSize()); }

}  // namespace

TEST(BlockDecoder, DecodesWhatTheLibrariesEncode) {
  const std::string raw = sampleText(300000);
  for (BlockCodec codec : {BlockCodec::Zstd, BlockCodec::Xz}) {
    for (bool x86 : {false, true}) {
      const std::string in = codec == BlockCodec::Zstd ? zstdFrame(raw) : xzStream(raw, 1, x86);
      DataBuffer out;
      RecordingLog log;
      ASSERT_TRUE(decode(codec, 1 << 20, in, uint32_t(raw.size()), out, log)) << int(codec);
      EXPECT_EQ(text(out), raw);
    }
  }
  EXPECT_EQ(BlockDecoder::create(BlockCodec::Zstd, BlockDecoder::kMaxBlockSize + 1), nullptr);
  EXPECT_EQ(BlockDecoder::create(BlockCodec::Xz, 0), nullptr);
}

TEST(BlockDecoder, RefusesADeclaredSizeBeyondTheLimitBeforeAllocating) {
  const std::string raw = sampleText(70000);
  for (BlockCodec codec : {BlockCodec::Zstd, BlockCodec::Xz}) {
    DataBuffer out;
    RecordingLog log;
    const std::string in = codec == BlockCodec::Zstd ? zstdFrame(raw) : xzStream(raw, 1);
    EXPECT_FALSE(decode(codec, 65536, in, uint32_t(raw.size()), out, log));
    EXPECT_TRUE(log.has("error:Block size is beyond the payload's limit."));
    EXPECT_EQ(out.getCapacity(), 0u);
  }
}

TEST(BlockDecoder, ZstdRefusesFramesThatDoNotMatchTheirBlock) {
  const std::string raw = sampleText(5000);
  DataBuffer out;
  RecordingLog log;
  // Another content size than the block's, none at all, a cut frame, a second frame behind it.
  EXPECT_FALSE(decode(BlockCodec::Zstd, 65536, zstdFrame(raw), 4999, out, log));
  EXPECT_FALSE(decode(BlockCodec::Zstd, 65536, zstdFrame(raw, false), 5000, out, log));
  const std::string frame = zstdFrame(raw);
  EXPECT_FALSE(decode(BlockCodec::Zstd, 65536, frame.substr(0, frame.size() - 3), 5000, out, log));
  EXPECT_FALSE(decode(BlockCodec::Zstd, 65536, frame + frame, 5000, out, log));
  EXPECT_TRUE(log.has("error:The zstd frame does not match its block."));
  std::string damaged = frame;
  damaged[damaged.size() / 2] ^= 0x20;
  EXPECT_FALSE(decode(BlockCodec::Zstd, 65536, damaged, 5000, out, log));
  EXPECT_TRUE(log.has("error:Failed to decode a compressed block."));
}

TEST(BlockDecoder, ZstdRefusesAWindowBeyondTheLimit) {
  DataBuffer out;
  RecordingLog log;
  ASSERT_TRUE(decode(BlockCodec::Zstd, 65536, zstdFrameWithWindow(16, 100), 100, out, log));
  EXPECT_EQ(text(out), std::string(100, 'w'));
  // The same 100 bytes behind a header that asks for 128 MiB of window.
  EXPECT_FALSE(decode(BlockCodec::Zstd, 65536, zstdFrameWithWindow(27, 100), 100, out, log));
  EXPECT_FALSE(decode(BlockCodec::Zstd, BlockDecoder::kMaxBlockSize, zstdFrameWithWindow(27, 100), 100, out, log));
  EXPECT_TRUE(log.has("error:The zstd frame does not match its block."));
}

TEST(BlockDecoder, XzRefusesADictionaryBeyondTheLimitAndDamage) {
  const std::string raw = sampleText(1000);
  DataBuffer out;
  RecordingLog log;
  // Preset 6 declares an 8 MiB dictionary, which a payload of 64 KiB blocks never needs.
  EXPECT_FALSE(decode(BlockCodec::Xz, 65536, xzStream(raw, 6), 1000, out, log));
  EXPECT_TRUE(log.has("error:The xz stream needs more memory than its block allows."));
  EXPECT_TRUE(decode(BlockCodec::Xz, 16 << 20, xzStream(raw, 6), 1000, out, log));
  std::string damaged = xzStream(raw, 0);
  damaged[damaged.size() / 2] ^= 0x20;
  EXPECT_FALSE(decode(BlockCodec::Xz, 65536, damaged, 1000, out, log));
  EXPECT_FALSE(decode(BlockCodec::Xz, 65536, xzStream(raw, 0), 999, out, log));
  EXPECT_FALSE(decode(BlockCodec::Xz, 65536, xzStream(raw, 0), 1001, out, log));
  EXPECT_TRUE(log.has("error:The xz stream is damaged or does not match its block."));
}
