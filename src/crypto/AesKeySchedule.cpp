#include "crypto/AesKeySchedule.h"

#include "crypto/AesTables.h"

namespace {

uint32_t subWord(uint32_t w) {
  const uint8_t *s = kAesTables.sbox;
  return uint32_t(s[w & 0xFF]) | uint32_t(s[(w >> 8) & 0xFF]) << 8 | uint32_t(s[(w >> 16) & 0xFF]) << 16 |
         uint32_t(s[w >> 24]) << 24;
}

// The decryption tables include InvSubBytes; feeding them S-box outputs leaves InvMixColumns.
uint32_t invMixColumn(uint32_t w) {
  const AesTables &t = kAesTables;
  return t.td[0][t.sbox[w & 0xFF]] ^ t.td[1][t.sbox[(w >> 8) & 0xFF]] ^ t.td[2][t.sbox[(w >> 16) & 0xFF]] ^
         t.td[3][t.sbox[w >> 24]];
}

}  // namespace

void aesExpandKey(const uint8_t *key, int keyBits, AesKeySchedule &schedule) {
  const int nk = keyBits / 32;
  schedule.rounds = nk + 6;
  const int total = 4 * (schedule.rounds + 1);
  uint32_t *w = schedule.words;
  for (int i = 0; i < nk; ++i) w[i] = aesLoadWord(key + 4 * i);
  uint8_t rcon = 1;
  for (int i = nk; i < total; ++i) {
    uint32_t temp = w[i - 1];
    if (i % nk == 0) {
      // RotWord moves byte 1 to byte 0: a right rotation of the little-endian word.
      temp = subWord((temp >> 8) | (temp << 24)) ^ rcon;
      rcon = uint8_t((rcon << 1) ^ ((rcon & 0x80) ? 0x1B : 0));
    } else if (nk > 6 && i % nk == 4) {
      temp = subWord(temp);
    }
    w[i] = w[i - nk] ^ temp;
  }
}

void aesMakeDecryptionSchedule(const AesKeySchedule &forward, AesKeySchedule &inverse) {
  const int rounds = forward.rounds;
  inverse.rounds = rounds;
  for (int r = 0; r <= rounds; ++r) {
    const uint32_t *from = forward.words + 4 * (rounds - r);
    uint32_t *to = inverse.words + 4 * r;
    const bool mix = r != 0 && r != rounds;
    for (int c = 0; c < 4; ++c) to[c] = mix ? invMixColumn(from[c]) : from[c];
  }
}
