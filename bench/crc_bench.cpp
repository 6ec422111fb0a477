// CRC-32 throughput of the program's code (the folding kernel, the table kernel and the one
// ZipCRC picks) beside zlib's crc32, over 2,000,000-byte pieces (the builder's chunk size) of a
// 64 MiB buffer. Prints GB/s per code and the ratios to zlib (above 1 means faster). With a FILE
// it also inflates that file's chunks with the program's inflater and prints what checking the
// output would add to the inflate time.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "base/Crc32Clmul.h"
#include "base/Crc32Slicing.h"
#include "BenchInput.h"
#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "base/ZipCRC.h"
#include "compress/InflateFrame.h"

namespace {
constexpr size_t kBufferBytes = 64u << 20;
constexpr size_t kPiece = 2000000;
constexpr int kRounds = 7;

template <typename F>
double seconds(F run) {
  auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The fastest of several passes over the buffer, piece by piece.
template <typename Crc>
double bestPass(const std::vector<uint8_t> &data, Crc crc, uint32_t &sum) {
  double best = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    best = std::min(best, seconds([&] {
                      for (size_t at = 0; at < data.size(); at += kPiece) {
                        sum ^= crc(data.data() + at, std::min(kPiece, data.size() - at));
                      }
                    }));
  }
  return best;
}

// Inflate time and CRC time of the same output, chunk by chunk.
int compareWithInflate(const char *path) {
  std::vector<uint8_t> data;
  if (!readFile(path, data)) {
    std::fprintf(stderr, "cannot read %s\n", path);
    return 2;
  }
  double inflateSeconds = 0, crcSeconds = 0;
  DataBuffer out;
  LogNull log;
  bool same = true;
  for (size_t at = 0; at < data.size(); at += kPiece) {
    size_t n = std::min(kPiece, data.size() - at);
    DataBuffer compressed;
    if (!deflateRaw(data.data() + at, n, compressed)) return 2;
    double bestInflate = 1e30, bestCrc = 1e30;
    for (int round = 0; round < kRounds; ++round) {
      bestInflate = std::min(bestInflate, seconds([&] {
                               out.clear();
                               same &= inflateBuffer(false, compressed, out, false, nullptr, log);
                             }));
      uint32_t crc = 0;
      bestCrc = std::min(bestCrc, seconds([&] { crc = ZipCRC::crc32(out.getData(), out.getSize()); }));
      same &= crc == uint32_t(::crc32(0L, data.data() + at, uInt(n)));
    }
    inflateSeconds += bestInflate;
    crcSeconds += bestCrc;
  }
  if (!same) {
    std::printf("OUTPUT MISMATCH\n");
    return 1;
  }
  std::printf("%s: %.1f MB inflated at %.1f MB/s; checking it adds %.2f %% to the inflate time\n", path,
              data.size() / 1e6, data.size() / 1e6 / inflateSeconds, 100.0 * crcSeconds / inflateSeconds);
  return 0;
}
}  // namespace

int main(int argc, char **argv) {
  std::mt19937 rng(1);
  std::vector<uint8_t> data(kBufferBytes);
  for (auto &b : data) b = uint8_t(rng());

  uint32_t sums[4] = {};
  double zlibTime = bestPass(data, [](const uint8_t *p, size_t n) { return uint32_t(::crc32(0L, p, uInt(n))); },
                             sums[0]);
  double tableTime =
      bestPass(data, [](const uint8_t *p, size_t n) { return ~crc32SlicingUpdate(~0u, p, n); }, sums[1]);
  double chosenTime =
      bestPass(data, [](const uint8_t *p, size_t n) { return ZipCRC::crc32(p, uint32_t(n)); }, sums[2]);
  double foldTime = 0;
  sums[3] = sums[0];
#ifdef SFX_HAVE_CLMUL_CODE
  if (crc32ClmulAvailable()) {
    sums[3] = 0;
    foldTime = bestPass(data, [](const uint8_t *p, size_t n) { return ~crc32ClmulUpdate(~0u, p, n); }, sums[3]);
  }
#endif
  if (sums[1] != sums[0] || sums[2] != sums[0] || sums[3] != sums[0]) {
    std::printf("CRC MISMATCH\n");
    return 1;
  }
  auto gbps = [](double t) { return kBufferBytes / t / 1e9; };
  std::printf("zlib crc32      %7.2f GB/s\n", gbps(zlibTime));
  std::printf("ours, tables    %7.2f GB/s  ratio ours/zlib %.2f\n", gbps(tableTime), zlibTime / tableTime);
  if (foldTime > 0) {
    std::printf("ours, folding   %7.2f GB/s  ratio ours/zlib %.2f\n", gbps(foldTime), zlibTime / foldTime);
  } else {
    std::printf("ours, folding   (no PCLMULQDQ on this CPU)\n");
  }
  std::printf("ours, chosen    %7.2f GB/s  ratio ours/zlib %.2f\n", gbps(chosenTime), zlibTime / chosenTime);
  for (int i = 1; i < argc; ++i) {
    int rc = compareWithInflate(argv[i]);
    if (rc != 0) return rc;
  }
  return 0;
}
