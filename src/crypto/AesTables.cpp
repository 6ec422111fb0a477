#include "crypto/AesTables.h"

namespace {

// Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr uint8_t gfMul(uint8_t a, uint8_t b) {
  uint8_t product = 0;
  while (b) {
    if (b & 1) product ^= a;
    a = uint8_t((a << 1) ^ ((a & 0x80) ? 0x1B : 0));
    b >>= 1;
  }
  return product;
}

constexpr uint32_t column(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return uint32_t(b0) | uint32_t(b1) << 8 | uint32_t(b2) << 16 | uint32_t(b3) << 24;
}

constexpr uint32_t rotl(uint32_t w, int bits) { return (w << bits) | (w >> (32 - bits)); }

constexpr AesTables makeTables() {
  AesTables t{};
  // Powers of the generator 3 give every non-zero element; the inverse of 3^i is 3^(255-i).
  uint8_t power[255] = {};
  uint8_t x = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = x;
    x = gfMul(x, 3);
  }
  uint8_t inverse[256] = {};
  for (int i = 0; i < 255; ++i) inverse[power[i]] = power[(255 - i) % 255];

  for (int v = 0; v < 256; ++v) {
    uint8_t b = inverse[v];
    uint8_t s = b;
    for (int shift = 1; shift <= 4; ++shift) s ^= uint8_t((b << shift) | (b >> (8 - shift)));
    s ^= 0x63;
    t.sbox[v] = s;
    t.invSbox[s] = uint8_t(v);
  }
  for (int v = 0; v < 256; ++v) {
    uint8_t s = t.sbox[v], i = t.invSbox[v];
    uint32_t te = column(gfMul(s, 2), s, s, gfMul(s, 3));
    uint32_t td = column(gfMul(i, 14), gfMul(i, 9), gfMul(i, 13), gfMul(i, 11));
    for (int r = 0; r < 4; ++r) {
      t.te[r][v] = r ? rotl(te, 8 * r) : te;
      t.td[r][v] = r ? rotl(td, 8 * r) : td;
    }
  }
  return t;
}

constexpr AesTables kBuilt = makeTables();
static_assert(kBuilt.sbox[0x00] == 0x63 && kBuilt.sbox[0x53] == 0xED && kBuilt.invSbox[0x63] == 0x00,
              "S-box construction");

}  // namespace

const AesTables kAesTables = kBuilt;
