#pragma once

#include <cstdint>

// Running Adler-32 (RFC 1950), the check value of zlib-wrapped streams.
class Adler32 {
 public:
  void update(const void *data, uint32_t length);
  uint32_t value() const { return (m_b << 16) | m_a; }

 private:
  uint32_t m_a = 1;
  uint32_t m_b = 0;
};
