#include "compress/QuorvelBzip2.h"

#include <bzlib.h>

#include "base/DataBuffer.h"

namespace {
constexpr uint32_t kMagic = 0xB394A7E1;
constexpr uint32_t kHeaderSize = 8;
// Slack beyond the stored size that a stream may still produce.
constexpr uint32_t kSizeSlack = 20;

uint32_t readLe32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
}  // namespace

bool QuorvelBzip2::decodeFramed(const uint8_t *framed, uint32_t length, DataBuffer &output) {
  if (framed == nullptr || length < kHeaderSize) {
    output.clear();
    return true;
  }
  if (readLe32(framed) != kMagic) return false;
  uint32_t size = readLe32(framed + 4);
  if (size == 0) {
    output.clear();
    return true;
  }
  output.clear();
  if (size > 0xFFFFFFFFu - kSizeSlack || !output.reserve(size + kSizeSlack)) return false;
  if (length == kHeaderSize) return true;
  unsigned int produced = size + kSizeSlack;
  int rc = BZ2_bzBuffToBuffDecompress(
      reinterpret_cast<char *>(output.getData()), &produced,
      const_cast<char *>(reinterpret_cast<const char *>(framed + kHeaderSize)), length - kHeaderSize, 0, 0);
  output.setSize(rc == BZ_OK ? produced : 0);
  return rc == BZ_OK;
}
