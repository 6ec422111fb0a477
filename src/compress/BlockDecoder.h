// The block codecs of the solid layout behind one interface: a block is one independent unit
// (a zstd frame, an xz stream) decoded whole into a buffer of the size the payload declares.
// Every decoder is bounded by the payload's largest block: it refuses a block that declares
// more content, or a window or dictionary beyond it, before it allocates anything for it.
#pragma once

#include <cstdint>
#include <memory>

#include "base/DataBuffer.h"
#include "base/LogBase.h"

enum class BlockCodec : uint8_t { Zstd = 1, Xz = 2 };

class BlockDecoder {
 public:
  // No payload may declare a larger block: it is what one block may cost the stub in memory.
  static constexpr uint32_t kMaxBlockSize = 64u << 20;

  // Null when memory is short or the limit is beyond kMaxBlockSize.
  static std::unique_ptr<BlockDecoder> create(BlockCodec codec, uint32_t blockLimit);
  virtual ~BlockDecoder() = default;

  BlockCodec codec() const { return m_codec; }
  uint32_t blockLimit() const { return m_blockLimit; }

  // Decodes in[0..inSize) into `out`, which then holds exactly `rawSize` bytes. False, with the
  // reason in the log, when the block is damaged or truncated, decodes to another size, or asks
  // for more than the limit allows; `out` is then empty.
  bool decodeInto(const uint8_t *in, uint32_t inSize, uint32_t rawSize, DataBuffer &out, LogBase &log);

 protected:
  BlockDecoder(BlockCodec codec, uint32_t blockLimit) : m_codec(codec), m_blockLimit(blockLimit) {}
  // Decodes exactly `outSize` bytes into `out`; anything else is a failure logged by the codec.
  virtual bool decode(const uint8_t *in, size_t inSize, uint8_t *out, size_t outSize, LogBase &log) = 0;

 private:
  const BlockCodec m_codec;
  const uint32_t m_blockLimit;
};

// One codec's decoder, made by the function of its own file.
std::unique_ptr<BlockDecoder> newZstdBlockDecoder(uint32_t blockLimit);
// The smallest zstd window (as a power of two) that holds a block of that size: the largest a
// decoder allows, and all an encoder of such blocks needs.
int zstdWindowLog(uint32_t blockSize);
std::unique_ptr<BlockDecoder> newXzBlockDecoder(uint32_t blockLimit);
