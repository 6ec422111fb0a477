// Compresses one block of the solid layout into the independent unit the stub decodes: one zstd
// frame (content size and checksum in it) or one xz stream (LZMA2, CRC-32 check), whose window
// or dictionary never exceeds the block size, so that the stub's limits hold for every block.
#pragma once

#include <cstdint>
#include <string>

#include "compress/BlockDecoder.h"

struct BlockCodecLevels {
  static constexpr int kZstdMin = 1, kZstdMax = 22, kZstdDefault = 19;
  static constexpr int kXzMin = 0, kXzMax = 9, kXzDefault = 9;
};

// Not shared between threads: each worker owns one, with its codec's context.
class BlockCompressor {
 public:
  BlockCompressor(BlockCodec codec, int level, uint32_t blockSize);
  ~BlockCompressor();
  BlockCompressor(const BlockCompressor &) = delete;
  BlockCompressor &operator=(const BlockCompressor &) = delete;

  bool ready() const { return m_codec == BlockCodec::Xz || m_zstd != nullptr; }
  // `x86` offers the branch filter to an xz block: it is used when a quick trial on part of the
  // block comes out smaller with it.
  bool compress(const std::string &raw, bool x86, std::string &packed, std::string &error);

 private:
  bool compressXz(const std::string &raw, bool x86, std::string &packed);

  BlockCodec m_codec;
  int m_level;
  uint32_t m_blockSize;
  struct ZSTD_CCtx_s *m_zstd = nullptr;
};
