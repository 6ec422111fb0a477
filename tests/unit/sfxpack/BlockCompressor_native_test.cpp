// The xz blocks read back by the host's liblzma: the filter chain each block declares, and its
// bytes decoded by that library rather than by the stub's decoder.
#include "BlockCompressor.h"

#include <gtest/gtest.h>
#include <lzma.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

// The filter ids of the stream's first block, as its block header declares them.
std::vector<lzma_vli> blockFilters(const std::string &stream) {
  const auto *in = reinterpret_cast<const uint8_t *>(stream.data());
  lzma_stream_flags flags;
  if (stream.size() < LZMA_STREAM_HEADER_SIZE + 1 || lzma_stream_header_decode(&flags, in) != LZMA_OK) return {};
  lzma_filter filters[LZMA_FILTERS_MAX + 1];
  lzma_block block{};
  block.version = 0;
  block.check = flags.check;
  block.filters = filters;
  block.header_size = lzma_block_header_size_decode(in[LZMA_STREAM_HEADER_SIZE]);
  if (lzma_block_header_decode(&block, nullptr, in + LZMA_STREAM_HEADER_SIZE) != LZMA_OK) return {};
  std::vector<lzma_vli> ids;
  for (int i = 0; filters[i].id != LZMA_VLI_UNKNOWN; ++i) {
    ids.push_back(filters[i].id);
    free(filters[i].options);
  }
  return ids;
}

std::string xzDecode(const std::string &stream, size_t expected) {
  std::string out(expected + 1, '\0');
  uint64_t memlimit = UINT64_MAX;
  size_t inPos = 0, outPos = 0;
  if (lzma_stream_buffer_decode(&memlimit, 0, nullptr, reinterpret_cast<const uint8_t *>(stream.data()), &inPos,
                                stream.size(), reinterpret_cast<uint8_t *>(&out[0]), &outPos,
                                out.size()) != LZMA_OK ||
      inPos != stream.size()) {
    return "(not one whole xz stream)";
  }
  out.resize(outPos);
  return out;
}

// A library of x86-64 code that every Debian system has, on which the branch filter pays.
std::string x86Code() {
  std::ifstream in("/lib/x86_64-linux-gnu/libc.so.6", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string text() {
  std::mt19937 rnd(5);
  std::string s;
  while (s.size() < 3000000) s += "entry " + std::to_string(rnd() % 20000) + " holds " + std::to_string(rnd()) + "\n";
  return s;
}

}  // namespace

TEST(BlockCompressor, TheBranchFilterIsUsedOnlyWhereOfferedAndWhereItPays) {
  const std::string code = x86Code(), words = text();
  ASSERT_GT(code.size(), 1000000u);
  BlockCompressor compressor(BlockCodec::Xz, 6, 8u << 20);
  struct Case {
    const std::string &raw;
    bool offered, expectFilter;
  } cases[] = {{code, true, true}, {code, false, false}, {words, true, false}};
  for (const Case &c : cases) {
    std::string packed, error;
    ASSERT_TRUE(compressor.compress(c.raw, c.offered, packed, error)) << error;
    const std::vector<lzma_vli> expected =
        c.expectFilter ? std::vector<lzma_vli>{LZMA_FILTER_X86, LZMA_FILTER_LZMA2} : std::vector<lzma_vli>{LZMA_FILTER_LZMA2};
    EXPECT_EQ(blockFilters(packed), expected) << "offered " << c.offered << ", " << c.raw.size() << " bytes";
    EXPECT_TRUE(xzDecode(packed, c.raw.size()) == c.raw);
  }
}
