// A block as one xz stream (LZMA2, possibly behind the x86 branch filter). liblzma's memory
// limit is set from the block limit: a stream whose dictionary is larger than any block could
// need is refused before its dictionary is allocated.
#include <lzma.h>

#include <new>

#include "compress/BlockDecoder.h"

namespace {

// Room beyond the dictionary for the decoder's own state and the filter chain.
constexpr uint64_t kDecoderOverhead = 1u << 20;

class XzBlockDecoder final : public BlockDecoder {
 public:
  explicit XzBlockDecoder(uint32_t blockLimit) : BlockDecoder(BlockCodec::Xz, blockLimit) {}

 protected:
  bool decode(const uint8_t *in, size_t inSize, uint8_t *out, size_t outSize, LogBase &log) override {
    uint64_t memoryLimit = uint64_t(blockLimit()) + kDecoderOverhead;
    size_t inPos = 0, outPos = 0;
    const lzma_ret ret =
        lzma_stream_buffer_decode(&memoryLimit, 0, nullptr, in, &inPos, inSize, out, &outPos, outSize);
    if (ret != LZMA_OK || inPos != inSize || outPos != outSize) {
      log.logError(ret == LZMA_MEMLIMIT_ERROR ? "The xz stream needs more memory than its block allows."
                                              : "The xz stream is damaged or does not match its block.");
      log.logDataInt("lzma", int(ret));
      return false;
    }
    return true;
  }
};

}  // namespace

std::unique_ptr<BlockDecoder> newXzBlockDecoder(uint32_t blockLimit) {
  return std::unique_ptr<BlockDecoder>(new (std::nothrow) XzBlockDecoder(blockLimit));
}
