#include "crypto/AesModes.h"

#include <cstring>

#include "crypto/AesNi.h"
#include "crypto/AesPortable.h"

AesEngine aesBestEngine() {
#ifdef SFX_HAVE_AESNI_CODE
  if (aesNiAvailable()) return AesEngine::AesNi;
#endif
  return AesEngine::Portable;
}

void aesEncryptBlock(AesEngine engine, const AesKeySchedule &forward, const uint8_t in[16], uint8_t out[16]) {
#ifdef SFX_HAVE_AESNI_CODE
  if (engine == AesEngine::AesNi) return aesNiEncryptBlock(forward, in, out);
#endif
  (void)engine;
  aesPortableEncryptBlock(forward, in, out);
}

namespace {

void portableDecryptBlocks(const AesKeySchedule &inverse, const uint8_t *iv, const uint8_t *in, uint8_t *out,
                           size_t blocks) {
  uint8_t previous[16], cipher[16];
  if (iv) std::memcpy(previous, iv, 16);
  for (; blocks > 0; --blocks, in += 16, out += 16) {
    std::memcpy(cipher, in, 16);
    aesPortableDecryptBlock(inverse, cipher, out);
    if (iv) {
      for (int i = 0; i < 16; ++i) out[i] ^= previous[i];
      std::memcpy(previous, cipher, 16);
    }
  }
}

void decryptBlocks(AesEngine engine, const AesKeySchedule &inverse, const uint8_t *iv, const uint8_t *in,
                   uint8_t *out, size_t blocks) {
#ifdef SFX_HAVE_AESNI_CODE
  if (engine == AesEngine::AesNi) return aesNiDecryptBlocks(inverse, iv, in, out, blocks);
#endif
  (void)engine;
  portableDecryptBlocks(inverse, iv, in, out, blocks);
}

}  // namespace

void aesDecryptCbc(AesEngine engine, const AesKeySchedule &inverse, const uint8_t iv[16], const uint8_t *in,
                   uint8_t *out, size_t blocks) {
  decryptBlocks(engine, inverse, iv, in, out, blocks);
}

void aesDecryptEcb(AesEngine engine, const AesKeySchedule &inverse, const uint8_t *in, uint8_t *out,
                   size_t blocks) {
  decryptBlocks(engine, inverse, nullptr, in, out, blocks);
}

void aesDecryptCfb1(AesEngine engine, const AesKeySchedule &forward, const uint8_t iv[16], const uint8_t *in,
                    uint8_t *out, size_t bytes) {
  uint8_t shift[16], keystream[16];
  std::memcpy(shift, iv, 16);
  for (size_t n = 0; n < bytes; ++n) {
    const uint8_t cipherByte = in[n];
    uint8_t plainByte = 0;
    for (int bit = 7; bit >= 0; --bit) {
      aesEncryptBlock(engine, forward, shift, keystream);
      const uint8_t cipherBit = (cipherByte >> bit) & 1;
      plainByte |= uint8_t(((keystream[0] >> 7) ^ cipherBit) << bit);
      for (int i = 0; i < 15; ++i) shift[i] = uint8_t(shift[i] << 1 | shift[i + 1] >> 7);
      shift[15] = uint8_t(shift[15] << 1 | cipherBit);
    }
    out[n] = plainByte;
  }
}
