#include "base/Crc32Slicing.h"

namespace {
// tables[0][b] is the register after byte b from a zero register; tables[k][b] is the same
// followed by k zero bytes. Sixteen bytes then cost sixteen independent look-ups instead of a
// chain of sixteen dependent ones; the 16 KiB of tables stay in the first-level cache.
constexpr int kSlices = 16;

struct SlicingTables {
  uint32_t entries[kSlices][256];
  SlicingTables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[0][i] = c;
    }
    for (int k = 1; k < kSlices; ++k) {
      for (uint32_t i = 0; i < 256; ++i) {
        uint32_t previous = entries[k - 1][i];
        entries[k][i] = (previous >> 8) ^ entries[0][previous & 0xFF];
      }
    }
  }
};

// A function-local static is built exactly once; a second caller waits for the first.
const SlicingTables &tables() {
  static const SlicingTables instance;
  return instance;
}

// Assembled from bytes, so that the order is right on any machine; compilers make one load of it.
inline uint32_t loadLittleEndian32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
}  // namespace

uint32_t crc32SlicingUpdate(uint32_t c, const uint8_t *p, size_t length) {
  const auto &t = tables().entries;
  for (; length >= kSlices; length -= kSlices, p += kSlices) {
    uint32_t w0 = loadLittleEndian32(p) ^ c, w1 = loadLittleEndian32(p + 4);
    uint32_t w2 = loadLittleEndian32(p + 8), w3 = loadLittleEndian32(p + 12);
    c = (t[15][w0 & 0xFF] ^ t[14][(w0 >> 8) & 0xFF] ^ t[13][(w0 >> 16) & 0xFF] ^ t[12][w0 >> 24]) ^
        (t[11][w1 & 0xFF] ^ t[10][(w1 >> 8) & 0xFF] ^ t[9][(w1 >> 16) & 0xFF] ^ t[8][w1 >> 24]) ^
        (t[7][w2 & 0xFF] ^ t[6][(w2 >> 8) & 0xFF] ^ t[5][(w2 >> 16) & 0xFF] ^ t[4][w2 >> 24]) ^
        (t[3][w3 & 0xFF] ^ t[2][(w3 >> 8) & 0xFF] ^ t[1][(w3 >> 16) & 0xFF] ^ t[0][w3 >> 24]);
  }
  for (; length > 0; --length, ++p) c = t[0][(c ^ *p) & 0xFF] ^ (c >> 8);
  return c;
}
