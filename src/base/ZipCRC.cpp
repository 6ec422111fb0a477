#include "base/ZipCRC.h"

namespace {
struct CrcTable {
  uint32_t entries[256];
  CrcTable() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[i] = c;
    }
  }
};

// A function-local static is built exactly once; a second caller waits for the first.
const CrcTable &table() {
  static const CrcTable instance;
  return instance;
}
}  // namespace

void ZipCRC::update(const void *data, uint32_t length) {
  const uint32_t *t = table().entries;
  const uint8_t *p = static_cast<const uint8_t *>(data);
  uint32_t c = m_register;
  for (uint32_t i = 0; i < length; ++i) c = t[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  m_register = c;
}

uint32_t ZipCRC::crc32(const void *data, uint32_t length) {
  if (length == 0) return 0;
  ZipCRC crc;
  crc.update(data, length);
  return crc.value();
}
