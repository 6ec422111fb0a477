// Decodes raw deflate chunks with the program's inflater, with zlib and with libdeflate in the
// same run. The files given are cut into independent 2,000,000-byte chunks, each compressed with
// zlib level 6 as raw deflate (the payload builder's format); every decoder's output is checked
// against the original. Prints MB/s of output per decoder and the ratios ours/zlib and
// ours/libdeflate (above 1 means we are faster). Make a corpus with make_inflate_corpus.py.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "BenchInput.h"
#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "compress/InflateFrame.h"

namespace {
constexpr size_t kChunk = 2000000;
constexpr int kRounds = 7;

struct Chunk {
  std::vector<uint8_t> plain;
  DataBuffer compressed;
};

bool zlibInflate(const DataBuffer &in, std::vector<uint8_t> &out, size_t expected) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = in.getData();
  z.avail_in = in.getSize();
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  bool ok = inflate(&z, Z_FINISH) == Z_STREAM_END && z.total_out == expected;
  inflateEnd(&z);
  return ok;
}

template <typename F>
double seconds(F run) {
  auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: inflate_bench FILE...\n");
    return 2;
  }
  std::vector<Chunk> chunks;
  size_t totalPlain = 0, totalCompressed = 0;
  for (int i = 1; i < argc; ++i) {
    std::vector<uint8_t> data;
    if (!readFile(argv[i], data)) {
      std::fprintf(stderr, "cannot read %s\n", argv[i]);
      return 2;
    }
    for (size_t at = 0; at < data.size(); at += kChunk) {
      size_t n = std::min(kChunk, data.size() - at);
      chunks.emplace_back();
      chunks.back().plain.assign(data.begin() + at, data.begin() + at + n);
      if (!deflateRaw(data.data() + at, n, chunks.back().compressed)) return 2;
      totalPlain += n;
      totalCompressed += chunks.back().compressed.getSize();
    }
  }
  std::printf("%zu chunks, %.1f MB -> %.1f MB\n", chunks.size(), totalPlain / 1e6, totalCompressed / 1e6);

  DataBuffer ours;
  ours.reserve(uint32_t(kChunk + kChunk / 2 + 64));
  std::vector<uint8_t> reference(kChunk);
  libdeflate_decompressor *decompressor = libdeflate_alloc_decompressor();
  LogNull log;
  bool allSame = true;
  double total[3] = {0, 0, 0};
  // Each chunk is decoded several times by each decoder in turn and only its fastest time counts:
  // on a shared machine a neighbour's burst then hurts no decoder's figure.
  for (const Chunk &chunk : chunks) {
    double best[3] = {1e30, 1e30, 1e30};
    for (int round = 0; round < kRounds; ++round) {
      best[0] = std::min(best[0], seconds([&] {
                           ours.clear();
                           allSame &= inflateBuffer(false, chunk.compressed, ours, false, nullptr, log);
                         }));
      allSame &= ours.getSize() == chunk.plain.size() &&
                 std::memcmp(ours.getData(), chunk.plain.data(), chunk.plain.size()) == 0;
      best[1] = std::min(
          best[1], seconds([&] { allSame &= zlibInflate(chunk.compressed, reference, chunk.plain.size()); }));
      allSame &= std::memcmp(reference.data(), chunk.plain.data(), chunk.plain.size()) == 0;
      best[2] = std::min(best[2], seconds([&] {
                           size_t produced = 0;
                           allSame &= libdeflate_deflate_decompress(decompressor, chunk.compressed.getData(),
                                                                    chunk.compressed.getSize(),
                                                                    reference.data(), reference.size(),
                                                                    &produced) == LIBDEFLATE_SUCCESS &&
                                      produced == chunk.plain.size();
                         }));
      allSame &= std::memcmp(reference.data(), chunk.plain.data(), chunk.plain.size()) == 0;
    }
    for (int d = 0; d < 3; ++d) total[d] += best[d];
  }
  libdeflate_free_decompressor(decompressor);
  if (!allSame) {
    std::printf("OUTPUT MISMATCH\n");
    return 1;
  }
  const char *names[3] = {"ours", "zlib", "libdeflate"};
  for (int d = 0; d < 3; ++d) std::printf("%-10s %8.1f MB/s\n", names[d], totalPlain / 1e6 / total[d]);
  std::printf("inflate ratio ours/zlib=%.2f ours/libdeflate=%.2f\n", total[1] / total[0],
              total[2] / total[0]);
  return 0;
}
