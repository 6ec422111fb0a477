// Decodes raw deflate chunks with the program's chunk inflater, with zlib and with libdeflate in
// the same run, one thread. Each argument is a corpus: a folder (all files below it) or a file.
// Every file is cut into independent 2,000,000-byte chunks, each compressed with zlib level 6 as
// raw deflate (the payload builder's defaults); every decoder's output is checked against the
// original. Prints per corpus and over all of them the MB/s of output per decoder and the ratios
// ours/zlib and ours/libdeflate (above 1 means we are faster). Make corpora with
// make_inflate_corpus.py.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchInput.h"
#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "compress/ChunkInflater.h"
#include "compress/Output.h"

namespace {
constexpr size_t kChunk = 2000000;
constexpr int kRounds = 5;
enum { kOurs, kZlib, kLibdeflate, kDecoders };
const char *const kNames[kDecoders] = {"ours", "zlib", "libdeflate"};

struct Chunk {
  std::vector<uint8_t> plain;
  DataBuffer compressed;
};

struct Corpus {
  std::string name;
  size_t files = 0;
  std::vector<Chunk> chunks;
};

// Compares what it is given with the original, for the untimed check of our output.
class CheckingOutput : public Output {
 public:
  explicit CheckingOutput(const std::vector<uint8_t> &expected) : m_expected(expected) {}
  bool rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *, LogBase &) override {
    same = same && m_at + length <= m_expected.size() &&
           std::memcmp(data, m_expected.data() + m_at, length) == 0;
    m_at += length;
    return true;
  }
  bool complete() const { return same && m_at == m_expected.size(); }
  bool same = true;

 private:
  const std::vector<uint8_t> &m_expected;
  size_t m_at = 0;
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

bool addFile(const std::string &path, Corpus &corpus) {
  std::vector<uint8_t> data;
  if (!readFile(path.c_str(), data)) return false;
  ++corpus.files;
  for (size_t at = 0; at < data.size(); at += kChunk) {
    size_t n = std::min(kChunk, data.size() - at);
    corpus.chunks.emplace_back();
    corpus.chunks.back().plain.assign(data.begin() + at, data.begin() + at + n);
    if (!deflateRaw(data.data() + at, n, corpus.chunks.back().compressed)) return false;
  }
  return true;
}

bool loadCorpus(const std::string &path, Corpus &corpus) {
  namespace fs = std::filesystem;
  corpus.name = path;
  if (!fs::is_directory(path)) return addFile(path, corpus);
  std::vector<std::string> files;
  for (const auto &entry : fs::recursive_directory_iterator(path))
    if (entry.is_regular_file() && !entry.is_symlink()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  for (const std::string &file : files)
    if (!addFile(file, corpus)) return false;
  return true;
}

// Best time per chunk and decoder over the rounds, summed over the chunks; false on any
// mismatch. Each chunk is decoded several times by each decoder in turn and only its fastest time
// counts: on a shared machine a neighbour's burst then hurts no decoder's figure.
bool measure(const Corpus &corpus, ChunkInflater &ours, libdeflate_decompressor *libdeflate, double total[]) {
  std::vector<uint8_t> reference(kChunk);
  Output discard;
  LogNull log;
  bool allSame = true;
  for (const Chunk &chunk : corpus.chunks) {
    CheckingOutput check(chunk.plain);
    allSame &=
        ours.inflate(chunk.compressed.getData(), uint32_t(chunk.compressed.getSize()), check, nullptr, log) &&
        check.complete();
    double best[kDecoders] = {1e30, 1e30, 1e30};
    for (int round = 0; round < kRounds; ++round) {
      best[kOurs] = std::min(best[kOurs], seconds([&] {
                               allSame &=
                                   ours.inflate(chunk.compressed.getData(), uint32_t(chunk.compressed.getSize()),
                                                discard, nullptr, log);
                             }));
      best[kZlib] =
          std::min(best[kZlib],
                   seconds([&] { allSame &= zlibInflate(chunk.compressed, reference, chunk.plain.size()); }));
      allSame &= std::memcmp(reference.data(), chunk.plain.data(), chunk.plain.size()) == 0;
      best[kLibdeflate] =
          std::min(best[kLibdeflate], seconds([&] {
                     size_t produced = 0;
                     allSame &= libdeflate_deflate_decompress(
                                    libdeflate, chunk.compressed.getData(), chunk.compressed.getSize(),
                                    reference.data(), reference.size(), &produced) == LIBDEFLATE_SUCCESS &&
                                produced == chunk.plain.size();
                   }));
      allSame &= std::memcmp(reference.data(), chunk.plain.data(), chunk.plain.size()) == 0;
    }
    for (int d = 0; d < kDecoders; ++d) total[d] += best[d];
  }
  return allSame;
}

void report(const char *name, size_t plainBytes, const double total[]) {
  std::printf("%s\n", name);
  for (int d = 0; d < kDecoders; ++d)
    std::printf("  %-10s %8.1f MB/s\n", kNames[d], plainBytes / 1e6 / total[d]);
  std::printf("  inflate ratio ours/zlib=%.2f ours/libdeflate=%.2f\n", total[kZlib] / total[kOurs],
              total[kLibdeflate] / total[kOurs]);
}
}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: inflate_bench CORPUS...   (a folder or a file each)\n");
    return 2;
  }
  ChunkInflater ours;
  libdeflate_decompressor *libdeflate = libdeflate_alloc_decompressor();
  double overall[kDecoders] = {0, 0, 0};
  size_t overallPlain = 0;
  bool allSame = true;
  for (int i = 1; i < argc; ++i) {
    Corpus corpus;
    if (!loadCorpus(argv[i], corpus)) {
      std::fprintf(stderr, "cannot read or compress %s\n", argv[i]);
      return 2;
    }
    size_t plain = 0, compressed = 0;
    for (const Chunk &chunk : corpus.chunks) {
      plain += chunk.plain.size();
      compressed += chunk.compressed.getSize();
    }
    std::printf("corpus %s: %zu files, %zu chunks, %.1f MB -> %.1f MB\n", argv[i], corpus.files,
                corpus.chunks.size(), plain / 1e6, compressed / 1e6);
    double total[kDecoders] = {0, 0, 0};
    allSame &= measure(corpus, ours, libdeflate, total);
    report(argv[i], plain, total);
    for (int d = 0; d < kDecoders; ++d) overall[d] += total[d];
    overallPlain += plain;
  }
  libdeflate_free_decompressor(libdeflate);
  if (!allSame) {
    std::printf("OUTPUT MISMATCH\n");
    return 1;
  }
  if (argc > 2) report("all corpora", overallPlain, overall);
  std::printf("chunks the fast decoder handed to the resumable one: %llu\n",
              static_cast<unsigned long long>(ours.carefulChunks()));
  return 0;
}
