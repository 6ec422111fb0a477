#include "crypto/AesNi.h"

#ifdef SFX_HAVE_AESNI_CODE

#include <cpuid.h>
#include <immintrin.h>

#define AESNI_TARGET __attribute__((target("aes,sse2")))

namespace {

bool askCpu() {
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (ecx & bit_AES) && (edx & bit_SSE2);
}

AESNI_TARGET inline __m128i load(const void *p) { return _mm_loadu_si128(static_cast<const __m128i *>(p)); }
AESNI_TARGET inline void store(void *p, __m128i v) { _mm_storeu_si128(static_cast<__m128i *>(p), v); }

// aesdec has a latency of several cycles but accepts a new block every cycle or two, so
// independent blocks are decrypted side by side. CBC decryption allows this because each
// plaintext block depends only on two ciphertext blocks.
constexpr int kLanes = 8;

template <int Rounds>
AESNI_TARGET void decryptBlocks(const AesKeySchedule &ks, const uint8_t *iv, const uint8_t *in, uint8_t *out,
                                size_t blocks) {
  __m128i k[Rounds + 1];
#pragma GCC unroll 16
  for (int r = 0; r <= Rounds; ++r) k[r] = load(ks.words + 4 * r);
  const bool chained = iv != nullptr;
  __m128i previous = chained ? load(iv) : _mm_setzero_si128();

  for (; blocks >= kLanes; blocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
    __m128i b[kLanes];
#pragma GCC unroll 8
    for (int i = 0; i < kLanes; ++i) b[i] = _mm_xor_si128(load(in + 16 * i), k[0]);
#pragma GCC unroll 16
    for (int r = 1; r < Rounds; ++r) {
#pragma GCC unroll 8
      for (int i = 0; i < kLanes; ++i) b[i] = _mm_aesdec_si128(b[i], k[r]);
    }
#pragma GCC unroll 8
    for (int i = 0; i < kLanes; ++i) b[i] = _mm_aesdeclast_si128(b[i], k[Rounds]);
    // The ciphertext is read again rather than kept in registers, which the round keys need;
    // every read comes before the first store, so out may equal in.
    if (chained) {
      b[0] = _mm_xor_si128(b[0], previous);
#pragma GCC unroll 8
      for (int i = 1; i < kLanes; ++i) b[i] = _mm_xor_si128(b[i], load(in + 16 * (i - 1)));
      previous = load(in + 16 * (kLanes - 1));
    }
#pragma GCC unroll 8
    for (int i = 0; i < kLanes; ++i) store(out + 16 * i, b[i]);
  }

  for (; blocks > 0; --blocks, in += 16, out += 16) {
    __m128i c = load(in);
    __m128i b = _mm_xor_si128(c, k[0]);
#pragma GCC unroll 16
    for (int r = 1; r < Rounds; ++r) b = _mm_aesdec_si128(b, k[r]);
    b = _mm_aesdeclast_si128(b, k[Rounds]);
    if (chained) {
      b = _mm_xor_si128(b, previous);
      previous = c;
    }
    store(out, b);
  }
}

}  // namespace

bool aesNiAvailable() {
  static const bool available = askCpu();
  return available;
}

AESNI_TARGET void aesNiEncryptBlock(const AesKeySchedule &forward, const uint8_t in[16], uint8_t out[16]) {
  const uint32_t *rk = forward.words;
  __m128i b = _mm_xor_si128(load(in), load(rk));
  for (int r = 1; r < forward.rounds; ++r) b = _mm_aesenc_si128(b, load(rk + 4 * r));
  store(out, _mm_aesenclast_si128(b, load(rk + 4 * forward.rounds)));
}

void aesNiDecryptBlocks(const AesKeySchedule &inverse, const uint8_t *iv, const uint8_t *in, uint8_t *out,
                        size_t blocks) {
  switch (inverse.rounds) {
    case 10:
      decryptBlocks<10>(inverse, iv, in, out, blocks);
      break;
    case 12:
      decryptBlocks<12>(inverse, iv, in, out, blocks);
      break;
    default:
      decryptBlocks<14>(inverse, iv, in, out, blocks);
      break;
  }
}

#endif
