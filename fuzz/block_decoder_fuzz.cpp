// The block decoders over arbitrary bytes. Byte 0 picks the codec (even: zstd, odd: xz), bytes
// 1-3 the declared decoded size (little-endian); the rest is the block. The limit is 1 MiB, so
// that declared sizes, windows and dictionaries beyond it are tried too.
#include <cstddef>
#include <cstdint>

#include "compress/BlockDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 4) return 0;
  static auto zstd = BlockDecoder::create(BlockCodec::Zstd, 1 << 20);
  static auto xz = BlockDecoder::create(BlockCodec::Xz, 1 << 20);
  BlockDecoder &decoder = (data[0] & 1) != 0 ? *xz : *zstd;
  const uint32_t rawSize = uint32_t(data[1]) | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16;
  DataBuffer out;
  LogNull log;
  decoder.decodeInto(data + 4, uint32_t(size - 4), rawSize, out, log);
  return 0;
}
