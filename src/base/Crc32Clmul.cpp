#include "base/Crc32Clmul.h"

#ifdef SFX_HAVE_CLMUL_CODE

#include <cpuid.h>
#include <immintrin.h>

#include "base/Crc32Polynomial.h"
#include "base/Crc32Slicing.h"

#define CLMUL_TARGET __attribute__((target("pclmul,sse2")))

namespace {

bool askCpu() {
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (ecx & bit_PCLMUL) && (edx & bit_SSE2);
}

// Folding, in short. A 128-bit lane X that stands D bits before the end of what has been read
// so far can be replaced by any value congruent to X * x^D modulo the polynomial and added into
// the lane D bits further on; the CRC of the whole does not change. Split X into its
// high-degree half H (the first 8 bytes, as the CRC is reflected) and its low-degree half L:
// X * x^D = H * x^(D+64) + L * x^D. Each half times a 32-bit remainder x^E mod P is a 96-bit
// product, small enough for a lane, and one PCLMULQDQ per half computes it. Read as a reflected
// 128-bit value, the product of a 64-bit half and the 33-bit multiplier (the remainder shifted up
// by one) stands for the polynomial product times x^32, so the multipliers are x^(D+32) for H
// and x^(D-32) for L.
//
// Eight lanes are folded side by side over 128-byte strides, because a multiply takes several
// cycles to deliver but a new one can start every cycle. At the end the lanes are folded into
// one and the 16 bytes left are a message whose CRC from a zero register is the register for
// everything folded; the table code finishes those and the few bytes past the last whole lane.
constexpr int kLanes = 8;
constexpr size_t kLaneBytes = 16;
constexpr size_t kStrideBytes = kLanes * kLaneBytes;
// Below this the set-up and the closing table work cost more than folding saves.
constexpr size_t kMinimumLength = 2 * kStrideBytes;

struct FoldMultipliers {
  uint64_t forHigh, forLow;
  explicit FoldMultipliers(uint64_t distanceBits)
      : forHigh(uint64_t(crc32XPower(distanceBits + 32)) << 1),
        forLow(uint64_t(crc32XPower(distanceBits - 32)) << 1) {}
};

struct Multipliers {
  FoldMultipliers stride{8 * kStrideBytes};
  FoldMultipliers lane{8 * kLaneBytes};
};

const Multipliers &multipliers() {
  static const Multipliers instance;
  return instance;
}

CLMUL_TARGET inline __m128i load(const uint8_t *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }

CLMUL_TARGET inline __m128i pair(const FoldMultipliers &m) {
  return _mm_set_epi64x(int64_t(m.forLow), int64_t(m.forHigh));
}

// x moved forward by the distance of k, ready to be added to the lane there.
CLMUL_TARGET inline __m128i fold(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

}  // namespace

bool crc32ClmulAvailable() {
  static const bool available = askCpu();
  return available;
}

CLMUL_TARGET uint32_t crc32ClmulUpdate(uint32_t c, const uint8_t *p, size_t length) {
  if (length < kMinimumLength) return crc32SlicingUpdate(c, p, length);
  const Multipliers &m = multipliers();
  const __m128i stride = pair(m.stride);
  const __m128i lane = pair(m.lane);

  __m128i x[kLanes];
#pragma GCC unroll 8
  for (int i = 0; i < kLanes; ++i) x[i] = load(p + kLaneBytes * i);
  // A preset register is the same as those 32 bits added to the first four bytes.
  x[0] = _mm_xor_si128(x[0], _mm_cvtsi32_si128(int(c)));
  p += kStrideBytes;
  length -= kStrideBytes;

  for (; length >= kStrideBytes; length -= kStrideBytes, p += kStrideBytes) {
#pragma GCC unroll 8
    for (int i = 0; i < kLanes; ++i) x[i] = _mm_xor_si128(fold(x[i], stride), load(p + kLaneBytes * i));
  }
  __m128i folded = x[0];
#pragma GCC unroll 8
  for (int i = 1; i < kLanes; ++i) folded = _mm_xor_si128(fold(folded, lane), x[i]);
  for (; length >= kLaneBytes; length -= kLaneBytes, p += kLaneBytes) {
    folded = _mm_xor_si128(fold(folded, lane), load(p));
  }

  uint8_t last[kLaneBytes];
  _mm_storeu_si128(reinterpret_cast<__m128i *>(last), folded);
  return crc32SlicingUpdate(crc32SlicingUpdate(0, last, kLaneBytes), p, length);
}

#endif
