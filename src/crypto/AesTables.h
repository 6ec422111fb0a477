#pragma once

#include <cstdint>

// The AES S-boxes and the round tables of the table-driven cipher. A state column is a 32-bit
// word whose low byte is row 0, so that words load and store as little-endian bytes; the
// AES-NI code reads round keys laid out the same way.
//
// te[r][x] is the column that byte x in row r contributes after SubBytes and MixColumns;
// td[r][x] likewise after InvSubBytes and InvMixColumns. te[r] and td[r] are te[0] and td[0]
// rotated left by 8 * r bits.
struct AesTables {
  uint8_t sbox[256];
  uint8_t invSbox[256];
  uint32_t te[4][256];
  uint32_t td[4][256];
};

// Built at compile time: read-only data, no first-use initialisation.
extern const AesTables kAesTables;

inline uint32_t aesRotl(uint32_t w, int bits) { return (w << bits) | (w >> (32 - bits)); }

inline uint32_t aesLoadWord(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void aesStoreWord(uint8_t *p, uint32_t w) {
  p[0] = uint8_t(w);
  p[1] = uint8_t(w >> 8);
  p[2] = uint8_t(w >> 16);
  p[3] = uint8_t(w >> 24);
}
