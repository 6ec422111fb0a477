// What every block codec shares: the limit on the declared size, checked before the output is
// allocated, and the output buffer's bookkeeping.
#include "compress/BlockDecoder.h"

std::unique_ptr<BlockDecoder> BlockDecoder::create(BlockCodec codec, uint32_t blockLimit) {
  if (blockLimit == 0 || blockLimit > kMaxBlockSize) return nullptr;
  switch (codec) {
    case BlockCodec::Zstd:
      return newZstdBlockDecoder(blockLimit);
    case BlockCodec::Xz:
      return newXzBlockDecoder(blockLimit);
  }
  return nullptr;
}

bool BlockDecoder::decodeInto(const uint8_t *in, uint32_t inSize, uint32_t rawSize, DataBuffer &out,
                              LogBase &log) {
  out.clear();
  if (rawSize == 0 || rawSize > m_blockLimit) {
    log.logError("Block size is beyond the payload's limit.");
    log.logDataInt("blockSize", rawSize);
    return false;
  }
  if (!out.reserve(rawSize)) {
    log.logError("Memory allocation failed.");
    return false;
  }
  if (!decode(in, inSize, out.getData(), rawSize, log)) {
    log.logError("Failed to decode a compressed block.");
    return false;
  }
  out.setSize(rawSize);
  return true;
}
