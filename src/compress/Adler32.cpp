#include "compress/Adler32.h"

namespace {
constexpr uint32_t kModulus = 65521;
// Largest run of bytes whose sums cannot overflow 32 bits before the modulus is taken.
constexpr uint32_t kMaxRun = 5552;
}  // namespace

void Adler32::update(const void *data, uint32_t length) {
  const uint8_t *p = static_cast<const uint8_t *>(data);
  uint32_t a = m_a, b = m_b;
  while (length > 0) {
    uint32_t run = length < kMaxRun ? length : kMaxRun;
    length -= run;
    for (; run >= 4; run -= 4, p += 4) {
      a += p[0];
      b += a;
      a += p[1];
      b += a;
      a += p[2];
      b += a;
      a += p[3];
      b += a;
    }
    for (; run > 0; --run) {
      a += *p++;
      b += a;
    }
    a %= kModulus;
    b %= kModulus;
  }
  m_a = a;
  m_b = b;
}
