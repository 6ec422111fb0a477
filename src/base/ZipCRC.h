#pragma once

#include <cstdint>

// CRC-32 as used by zip and PNG (reflected polynomial 0xEDB88320). Fast enough to check data as
// it is inflated: carry-less folding where the CPU has it, sixteen tables at a time elsewhere.
class ZipCRC {
 public:
  void update(const void *data, uint32_t length);
  uint32_t value() const { return ~m_register; }

  static uint32_t crc32(const void *data, uint32_t length);

 private:
  uint32_t m_register = 0xFFFFFFFFu;
};
