#include "base/Crc32Polynomial.h"

namespace {
// x^32 + x^26 + ... + 1 without its x^32 term, reflected.
constexpr uint32_t kReflectedPolynomial = 0xEDB88320u;
constexpr uint32_t kOne = 0x80000000u;
constexpr uint32_t kX = 0x40000000u;

// Multiplying by x moves every coefficient one place towards bit 0; an x^32 that falls off the
// end is replaced by the rest of the polynomial.
uint32_t timesX(uint32_t a) { return (a >> 1) ^ ((a & 1) ? kReflectedPolynomial : 0); }
}  // namespace

uint32_t crc32MultiplyMod(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  for (uint32_t bit = kOne; bit != 0; bit >>= 1) {
    if (a & bit) product ^= b;
    b = timesX(b);
  }
  return product;
}

uint32_t crc32XPower(uint64_t n) {
  uint32_t result = kOne;
  for (uint32_t square = kX; n != 0; n >>= 1) {
    if (n & 1) result = crc32MultiplyMod(result, square);
    square = crc32MultiplyMod(square, square);
  }
  return result;
}

// The preset and the final inversion cancel out: crc(A B) = crc(A) * x^(8 |B|) + crc(B).
uint32_t crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB) {
  // Nothing to move: the common case of a file's first chunk.
  if (crcA == 0) return crcB;
  return crc32MultiplyMod(crcA, crc32XPower(8 * lengthB)) ^ crcB;
}
