// The builds of libzstd and liblzma that both programs link (cmake/zstd.cmake, cmake/lzma.cmake):
// they decode what the zstd and xz command-line tools made (fixtures/make_codec_frames.py, whose
// manifest holds the size and CRC-32 Python's zlib recorded for each original), refuse damaged
// input and round-trip what they compress themselves, the x86 branch filter included.
#include <gtest/gtest.h>
#include <lzma.h>
#include <zlib.h>
// For ZSTD_getFrameHeader: both builds link the same release, so its experimental API is safe.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>
#include <zstd_errors.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>
#include "FixtureFile.h"

namespace {
std::vector<uint8_t> fixture(const std::string &name) { return readFixture("codecs/" + name); }

struct Original {
  size_t size = 0;
  unsigned long crc = 0;
};

Original originalOf(const std::string &file) {
  std::vector<uint8_t> bytes = fixture("manifest.txt");
  std::string manifest(bytes.begin(), bytes.end());
  char name[64];
  Original original;
  int used = 0;
  for (const char *p = manifest.c_str(); std::sscanf(p, "%63s %zu %lx%n", name, &original.size, &original.crc, &used) == 3;
       p += used) {
    if (file == name) return original;
  }
  ADD_FAILURE() << file << " is not in the manifest";
  return {};
}

unsigned long crcOf(const std::vector<uint8_t> &data) {
  return crc32(0, data.data(), static_cast<uInt>(data.size()));
}

// Words with some noise and some x86-like call instructions: compressible, with every match kind.
std::vector<uint8_t> sampleData() {
  std::mt19937 rng(42);
  std::vector<uint8_t> data;
  const char *words[] = {"payload ", "block ", "stub ", "frame ", "window ", "entry "};
  while (data.size() < 300000) {
    for (int i = 0; i < 50; ++i) {
      const char *w = words[rng() % 6];
      data.insert(data.end(), w, w + std::char_traits<char>::length(w));
    }
    for (int i = 0; i < 20; ++i) data.push_back(static_cast<uint8_t>(rng()));
    data.push_back(0xe8);
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(rng() % 16));
  }
  return data;
}

std::vector<uint8_t> xzDecode(const std::vector<uint8_t> &packed, size_t outSize, lzma_ret *result,
                              uint64_t memoryLimit = UINT64_MAX) {
  std::vector<uint8_t> out(outSize);
  size_t inPos = 0, outPos = 0;
  *result = lzma_stream_buffer_decode(&memoryLimit, 0, nullptr, packed.data(), &inPos, packed.size(), out.data(),
                                      &outPos, out.size());
  out.resize(outPos);
  return out;
}
}  // namespace

TEST(ThirdPartyZstd, DecodesTheToolsFrame) {
  std::vector<uint8_t> frame = fixture("text.zst");
  Original original = originalOf("text.zst");
  ASSERT_FALSE(frame.empty());
  EXPECT_EQ(ZSTD_getFrameContentSize(frame.data(), frame.size()), original.size);
  std::vector<uint8_t> out(original.size);
  size_t written = ZSTD_decompress(out.data(), out.size(), frame.data(), frame.size());
  ASSERT_FALSE(ZSTD_isError(written)) << ZSTD_getErrorName(written);
  EXPECT_EQ(written, original.size);
  EXPECT_EQ(crcOf(out), original.crc);
}

TEST(ThirdPartyZstd, RefusesDamagedTruncatedAndOversizedFrames) {
  std::vector<uint8_t> frame = fixture("text.zst");
  Original original = originalOf("text.zst");
  std::vector<uint8_t> out(original.size);
  std::vector<uint8_t> damaged = frame;
  damaged[damaged.size() / 2] ^= 0x10;
  EXPECT_TRUE(ZSTD_isError(ZSTD_decompress(out.data(), out.size(), damaged.data(), damaged.size())));
  EXPECT_TRUE(ZSTD_isError(ZSTD_decompress(out.data(), out.size(), frame.data(), frame.size() - 1)));
  // ZSTD_d_windowLogMax bounds only the window the streaming decoder allocates: into an output
  // that holds the whole content it needs none and applies no limit (nor does the one-shot
  // ZSTD_decompressDCtx). A reader that bounds what a frame declares checks the frame header.
  ZSTD_frameHeader header;
  ASSERT_EQ(ZSTD_getFrameHeader(&header, frame.data(), frame.size()), 0u);
  EXPECT_EQ(header.frameContentSize, original.size);
  EXPECT_GT(header.windowSize, 1u << 10);
  ZSTD_DCtx *context = ZSTD_createDCtx();
  ASSERT_EQ(ZSTD_isError(ZSTD_DCtx_setParameter(context, ZSTD_d_windowLogMax, 10)), 0u);
  ZSTD_inBuffer in = {frame.data(), frame.size(), 0};
  ZSTD_outBuffer piece = {out.data(), 4096, 0};
  size_t result = ZSTD_decompressStream(context, &piece, &in);
  EXPECT_EQ(ZSTD_getErrorCode(result), ZSTD_error_frameParameter_windowTooLarge);
  EXPECT_EQ(piece.pos, 0u);
  ZSTD_freeDCtx(context);
}

TEST(ThirdPartyZstd, RoundTripsItsOwnFrames) {
  std::vector<uint8_t> data = sampleData();
  for (int level : {1, 19}) {
    std::vector<uint8_t> frame(ZSTD_compressBound(data.size()));
    size_t size = ZSTD_compress(frame.data(), frame.size(), data.data(), data.size(), level);
    ASSERT_FALSE(ZSTD_isError(size)) << ZSTD_getErrorName(size);
    EXPECT_LT(size, data.size() / 2) << "level " << level;
    std::vector<uint8_t> out(data.size());
    EXPECT_EQ(ZSTD_decompress(out.data(), out.size(), frame.data(), size), data.size());
    EXPECT_EQ(out, data) << "level " << level;
  }
}

TEST(ThirdPartyXz, DecodesTheToolsStreamsWithAndWithoutTheBranchFilter) {
  for (const char *name : {"text.xz", "code_x86.xz"}) {
    SCOPED_TRACE(name);
    Original original = originalOf(name);
    lzma_ret result;
    std::vector<uint8_t> out = xzDecode(fixture(name), original.size, &result);
    EXPECT_EQ(result, LZMA_OK);
    EXPECT_EQ(out.size(), original.size);
    EXPECT_EQ(crcOf(out), original.crc);
  }
}

TEST(ThirdPartyXz, RefusesDamagedTruncatedAndOverLimitStreams) {
  std::vector<uint8_t> stream = fixture("text.xz");
  Original original = originalOf("text.xz");
  lzma_ret result;
  std::vector<uint8_t> damaged = stream;
  damaged[damaged.size() / 2] ^= 0x10;
  xzDecode(damaged, original.size, &result);
  EXPECT_NE(result, LZMA_OK);
  xzDecode(std::vector<uint8_t>(stream.begin(), stream.end() - 1), original.size, &result);
  EXPECT_NE(result, LZMA_OK);
  // xz -9e asks for a 64 MiB dictionary: a limit below it stops the decoder before it allocates.
  xzDecode(stream, original.size, &result, 1 << 20);
  EXPECT_EQ(result, LZMA_MEMLIMIT_ERROR);
}

TEST(ThirdPartyXz, RoundTripsItsOwnStreamsThroughTheBranchFilter) {
  std::vector<uint8_t> data = sampleData();
  lzma_options_lzma options;
  ASSERT_FALSE(lzma_lzma_preset(&options, 6));
  lzma_filter filters[] = {{LZMA_FILTER_X86, nullptr}, {LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  std::vector<uint8_t> stream(lzma_stream_buffer_bound(data.size()));
  size_t size = 0;
  ASSERT_EQ(lzma_stream_buffer_encode(filters, LZMA_CHECK_CRC32, nullptr, data.data(), data.size(), stream.data(),
                                      &size, stream.size()),
            LZMA_OK);
  EXPECT_LT(size, data.size() / 2);
  stream.resize(size);
  lzma_ret result;
  EXPECT_EQ(xzDecode(stream, data.size(), &result), data);
  EXPECT_EQ(result, LZMA_OK);
}
