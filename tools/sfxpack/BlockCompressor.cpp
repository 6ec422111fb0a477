#include "BlockCompressor.h"

#include <lzma.h>
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <cstdint>

namespace {
// Every fourth MiB of the block, packed at xz's fastest preset, decides for the whole block: on
// this machine's programs and on Windows DLLs it chose as compressing the whole block both ways
// did, for a twentieth of the time.
constexpr size_t kProbePiece = 1u << 20, kProbeStride = 4;

// LZMA2, behind the x86 branch filter when asked.
struct FilterChain {
  FilterChain(bool x86, lzma_options_lzma &options) {
    int n = 0;
    if (x86) filters[n++] = {LZMA_FILTER_X86, nullptr};
    filters[n++] = {LZMA_FILTER_LZMA2, &options};
    filters[n] = {LZMA_VLI_UNKNOWN, nullptr};
  }
  lzma_filter filters[3];
};

size_t probeSize(const std::string &sample, bool x86) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 0)) return SIZE_MAX;
  FilterChain filters(x86, options);
  std::string packed(lzma_stream_buffer_bound(sample.size()), '\0');
  size_t written = 0;
  if (lzma_raw_buffer_encode(filters.filters, nullptr, reinterpret_cast<const uint8_t *>(sample.data()), sample.size(),
                             reinterpret_cast<uint8_t *>(&packed[0]), &written, packed.size()) != LZMA_OK) {
    return SIZE_MAX;
  }
  return written;
}

bool x86FilterPays(const std::string &raw) {
  std::string sample;
  for (size_t at = 0; at < raw.size(); at += kProbeStride * kProbePiece) sample.append(raw, at, kProbePiece);
  const size_t filtered = probeSize(sample, true);
  return filtered < probeSize(sample, false);
}
}  // namespace

BlockCompressor::BlockCompressor(BlockCodec codec, int level, uint32_t blockSize)
    : m_codec(codec), m_level(level), m_blockSize(blockSize) {
  if (codec != BlockCodec::Zstd) return;
  m_zstd = ZSTD_createCCtx();
  if (m_zstd == nullptr) return;
  ZSTD_CCtx_setParameter(m_zstd, ZSTD_c_compressionLevel, level);
  // Levels above 19 would otherwise ask for windows beyond the block; a block needs none larger.
  ZSTD_CCtx_setParameter(m_zstd, ZSTD_c_windowLog, zstdWindowLog(blockSize));
  ZSTD_CCtx_setParameter(m_zstd, ZSTD_c_contentSizeFlag, 1);
  ZSTD_CCtx_setParameter(m_zstd, ZSTD_c_checksumFlag, 1);
}

BlockCompressor::~BlockCompressor() { ZSTD_freeCCtx(m_zstd); }

bool BlockCompressor::compress(const std::string &raw, bool x86, std::string &packed, std::string &error) {
  if (m_codec == BlockCodec::Zstd) {
    packed.resize(ZSTD_compressBound(raw.size()));
    size_t n = ZSTD_compress2(m_zstd, &packed[0], packed.size(), raw.data(), raw.size());
    if (ZSTD_isError(n)) {
      error = std::string("zstd failed: ") + ZSTD_getErrorName(n);
      return false;
    }
    packed.resize(n);
    return true;
  }
  if (!compressXz(raw, x86 && x86FilterPays(raw), packed)) {
    error = "xz compression failed (out of memory?)";
    return false;
  }
  return true;
}

bool BlockCompressor::compressXz(const std::string &raw, bool x86, std::string &packed) {
  lzma_options_lzma options;
  // Not the "extreme" variants: on this machine's libraries they took a tenth longer for a
  // payload a tenth of a percent larger.
  if (lzma_lzma_preset(&options, uint32_t(m_level))) return false;
  // The stub allows a dictionary no larger than a block, and a larger one would find nothing
  // more. The stream records the size rounded up to 2^n or 3 * 2^(n-1), which the stub then
  // allocates: the largest such size within the block is taken.
  uint32_t dict = LZMA_DICT_SIZE_MIN;
  for (uint32_t power = LZMA_DICT_SIZE_MIN; power <= m_blockSize && power <= options.dict_size; power *= 2) {
    dict = power;
    if (power + power / 2 <= m_blockSize && power + power / 2 <= options.dict_size) dict = power + power / 2;
    if (power > (1u << 30)) break;
  }
  options.dict_size = dict;
  FilterChain filters(x86, options);
  packed.resize(lzma_stream_buffer_bound(raw.size()));
  size_t written = 0;
  if (lzma_stream_buffer_encode(filters.filters, LZMA_CHECK_CRC32, nullptr, reinterpret_cast<const uint8_t *>(raw.data()),
                                raw.size(), reinterpret_cast<uint8_t *>(&packed[0]), &written,
                                packed.size()) != LZMA_OK) {
    return false;
  }
  packed.resize(written);
  return true;
}
