#pragma once

#include <cstdint>

// Expanded AES key: rounds + 1 round keys of four little-endian column words each.
struct AesKeySchedule {
  int rounds = 0;
  uint32_t words[60] = {};
};

// The supported key size for a requested one: 128 or less gives 128, up to 192 gives 192,
// anything larger 256.
inline int aesSupportedKeyBits(int bits) { return bits <= 128 ? 128 : bits <= 192 ? 192 : 256; }

// Key expansion for the forward cipher. keyBits is 128, 192 or 256; the key holds keyBits / 8
// bytes.
void aesExpandKey(const uint8_t *key, int keyBits, AesKeySchedule &schedule);

// Round keys for the equivalent inverse cipher, in the order decryption applies them: the
// forward keys reversed, with InvMixColumns applied to all but the first and the last. This is
// the layout both the table code and AES-NI's aesdec expect.
void aesMakeDecryptionSchedule(const AesKeySchedule &forward, AesKeySchedule &inverse);
