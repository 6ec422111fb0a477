// Raw deflate of one chunk through libdeflate, the form the stub inflates: no zlib header or
// trailer, a 32 KiB window, one complete stream per chunk.
#pragma once

#include <string>

struct libdeflate_compressor;

constexpr int kMaxLevel = 12;

// Not shared between threads: libdeflate's compressor keeps its match finder in itself, so each
// worker owns one.
class ChunkCompressor {
 public:
  // Level 0 never deflates; 1 to 12 are libdeflate's levels.
  explicit ChunkCompressor(int level);
  ~ChunkCompressor();
  ChunkCompressor(const ChunkCompressor &) = delete;
  ChunkCompressor &operator=(const ChunkCompressor &) = delete;

  // False when libdeflate could not allocate its compressor for a level above 0.
  bool ready() const { return m_level == 0 || m_compressor != nullptr; }

  // True with `deflated` holding the stream when it is shorter than `raw`; false when the chunk
  // is better stored as it is.
  bool deflate(const std::string &raw, std::string &deflated);

 private:
  int m_level;
  libdeflate_compressor *m_compressor = nullptr;
};
