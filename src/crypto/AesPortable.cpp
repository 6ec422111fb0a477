#include "crypto/AesPortable.h"

#include "crypto/AesTables.h"

namespace {

inline uint8_t byteOf(uint32_t w, int row) { return uint8_t(w >> (8 * row)); }

// One cipher run. ShiftRows takes row r of output column c from input column c + r;
// InvShiftRows from column c - r: `step` is +1 or -1 (mod 4).
template <int step>
void runRounds(const AesKeySchedule &ks, const uint32_t (&table)[4][256], const uint8_t *box,
               const uint8_t in[16], uint8_t out[16]) {
  const uint32_t *rk = ks.words;
  uint32_t s[4], t[4];
  for (int c = 0; c < 4; ++c) s[c] = aesLoadWord(in + 4 * c) ^ rk[c];
  for (int round = 1; round < ks.rounds; ++round) {
    rk += 4;
    for (int c = 0; c < 4; ++c) {
      t[c] = table[0][byteOf(s[c], 0)] ^ table[1][byteOf(s[(c + step + 4) & 3], 1)] ^
             table[2][byteOf(s[(c + 2 * step + 4) & 3], 2)] ^ table[3][byteOf(s[(c + 3 * step + 4) & 3], 3)] ^
             rk[c];
    }
    for (int c = 0; c < 4; ++c) s[c] = t[c];
  }
  rk += 4;
  for (int c = 0; c < 4; ++c) {
    t[c] = (uint32_t(box[byteOf(s[c], 0)]) | uint32_t(box[byteOf(s[(c + step + 4) & 3], 1)]) << 8 |
            uint32_t(box[byteOf(s[(c + 2 * step + 4) & 3], 2)]) << 16 |
            uint32_t(box[byteOf(s[(c + 3 * step + 4) & 3], 3)]) << 24) ^
           rk[c];
  }
  for (int c = 0; c < 4; ++c) aesStoreWord(out + 4 * c, t[c]);
}

}  // namespace

void aesPortableEncryptBlock(const AesKeySchedule &forward, const uint8_t in[16], uint8_t out[16]) {
  runRounds<1>(forward, kAesTables.te, kAesTables.sbox, in, out);
}

void aesPortableDecryptBlock(const AesKeySchedule &inverse, const uint8_t in[16], uint8_t out[16]) {
  runRounds<-1>(inverse, kAesTables.td, kAesTables.invSbox, in, out);
}
