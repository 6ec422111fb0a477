#include "base/Crc32Slicing.h"

namespace {
// tables[0][b] is the register after byte b from a zero register; tables[k][b] is the same
// followed by k zero bytes. Eight bytes then cost eight independent look-ups instead of a chain
// of eight dependent ones.
struct SlicingTables {
  uint32_t entries[8][256];
  SlicingTables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[0][i] = c;
    }
    for (int k = 1; k < 8; ++k) {
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
  for (; length >= 8; length -= 8, p += 8) {
    uint32_t low = loadLittleEndian32(p) ^ c;
    uint32_t high = loadLittleEndian32(p + 4);
    c = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
        t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
  for (; length > 0; --length, ++p) c = t[0][(c ^ *p) & 0xFF] ^ (c >> 8);
  return c;
}
