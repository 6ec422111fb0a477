#include "archive/SealedHeader.h"

#include <cstring>

namespace {
uint32_t u32At(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
}  // namespace

bool SealedHeader::parse(const uint8_t *bytes, uint32_t size, SealedHeader &out) {
  if (size != kSize) return false;
  out.params.memoryKiB = u32At(bytes);
  out.params.passes = u32At(bytes + 4);
  out.entryCount = u32At(bytes + 8);
  if (!out.params.withinBounds()) return false;
  const uint8_t *p = bytes + 12;
  if (*p++ != KdfParams::kSaltSize) return false;
  std::memcpy(out.params.salt, p, KdfParams::kSaltSize);
  p += KdfParams::kSaltSize;
  if (*p++ != kSealedEmpty) return false;
  std::memcpy(out.check, p, kSealedEmpty);
  p += kSealedEmpty;
  if (*p++ != kSealedEmpty) return false;
  std::memcpy(out.authenticator, p, kSealedEmpty);
  return true;
}
