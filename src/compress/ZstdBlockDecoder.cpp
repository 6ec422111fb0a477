// A block as one zstd frame. The frame header is read first: a frame that does not declare its
// content size, declares another size than the block's, or asks for a window beyond the block
// limit is refused before the library is asked to decode anything. The frame then decodes
// straight into the caller's buffer, which serves as its window, so the context stays small.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <new>

#include "compress/BlockDecoder.h"

int zstdWindowLog(uint32_t blockSize) {
  int log = ZSTD_WINDOWLOG_MIN;
  while (log < 31 && (uint64_t(1) << log) < blockSize) ++log;
  return log;
}

namespace {

class ZstdBlockDecoder final : public BlockDecoder {
 public:
  ZstdBlockDecoder(uint32_t blockLimit, ZSTD_DCtx *context) : BlockDecoder(BlockCodec::Zstd, blockLimit), m_context(context) {}
  ~ZstdBlockDecoder() override { ZSTD_freeDCtx(m_context); }

 protected:
  bool decode(const uint8_t *in, size_t inSize, uint8_t *out, size_t outSize, LogBase &log) override {
    ZSTD_frameHeader header{};
    if (ZSTD_getFrameHeader(&header, in, inSize) != 0 || header.frameType != ZSTD_frame) {
      log.logError("The block is not a zstd frame.");
      return false;
    }
    if (header.frameContentSize != outSize || header.windowSize > blockLimit() ||
        ZSTD_findFrameCompressedSize(in, inSize) != inSize) {
      log.logError("The zstd frame does not match its block.");
      return false;
    }
    const size_t n = ZSTD_decompressDCtx(m_context, out, outSize, in, inSize);
    if (ZSTD_isError(n) || n != outSize) {
      log.logError("The zstd frame is damaged.");
      if (ZSTD_isError(n)) log.logData("zstd", ZSTD_getErrorName(n));
      return false;
    }
    return true;
  }

 private:
  ZSTD_DCtx *m_context;
};

}  // namespace

std::unique_ptr<BlockDecoder> newZstdBlockDecoder(uint32_t blockLimit) {
  ZSTD_DCtx *context = ZSTD_createDCtx();
  if (context == nullptr) return nullptr;
  // The header check above is the first line; this one holds inside the library as well.
  if (ZSTD_isError(ZSTD_DCtx_setParameter(context, ZSTD_d_windowLogMax, zstdWindowLog(blockLimit)))) {
    ZSTD_freeDCtx(context);
    return nullptr;
  }
  std::unique_ptr<BlockDecoder> decoder(new (std::nothrow) ZstdBlockDecoder(blockLimit, context));
  if (decoder == nullptr) ZSTD_freeDCtx(context);
  return decoder;
}
