#include "crypto/QuorvelRand.h"

#include <cstdlib>
#include <cstring>

#include "base/QuorvelCritSec.h"
#include "platform/win32.h"

namespace {
constexpr int kWords = 250;

struct Generator {
  uint32_t words[kWords];
  int first = 0;
  int second = 103;
  uint8_t successor[kWords];
  bool seeded = false;
  QuorvelCritSec lock;

  Generator() {
    for (int i = 0; i < kWords; ++i) successor[i] = uint8_t((i + 1) % kWords);
  }

  bool fillFromProvider() {
    static const DWORD flags[] = {0xF0000000, 0xF0000008, 0xF0000020, 0xF0000028};
    HCRYPTPROV provider = 0;
    bool acquired = false;
    for (DWORD f : flags) {
      if (CryptAcquireContextA(&provider, nullptr, "Microsoft Base Cryptographic Provider v1.0", 1, f)) {
        acquired = true;
        break;
      }
    }
    if (!acquired) return false;
    bool ok = CryptGenRandom(provider, sizeof words, reinterpret_cast<BYTE *>(words)) != FALSE;
    CryptReleaseContext(provider, 0);
    return ok;
  }

  void fillFromRuntime() {
    std::srand(GetTickCount() ^ GetCurrentThreadId());
    for (int i = kWords - 1; i >= 0; --i) {
      uint32_t r1 = uint32_t(std::rand()), r2 = uint32_t(std::rand()), r3 = uint32_t(std::rand());
      words[i] = (r3 & 3) | ((r1 | (r2 << 15)) << 2);
    }
  }

  void seed() {
    if (!fillFromProvider()) fillFromRuntime();
    first = 0;
    second = 103;
    // Standard R250 set-up: makes 32 of the words linearly independent.
    for (int b = 31; b >= 0; --b) {
      int k = 3 + 7 * (31 - b);
      uint32_t bit = 1u << b;
      words[k] = (words[k] & (bit - 1)) | bit;
    }
    seeded = true;
    std::srand(draw());
  }

  uint32_t draw() {
    uint32_t r = words[first] ^ words[second];
    words[first] = r;
    first = successor[first];
    second = successor[second];
    return r;
  }
};

Generator &generator() {
  static Generator instance;
  if (!instance.seeded) instance.seed();
  return instance;
}
}  // namespace

uint32_t QuorvelRand::next() {
  Generator &g = generator();
  CritSecExitor guard(g.lock);
  return g.draw();
}

int QuorvelRand::randomInt(int low, int high) {
  if (low == high) return low;
  uint64_t r = next() & 0xFFFFFF;
  int64_t span = int64_t(high) - int64_t(low) + 1;
  int64_t v = int64_t(low) + int64_t((r * uint64_t(span)) >> 24);
  if (v < low) v = low;
  if (v > high) v = high;
  return int(v);
}

char QuorvelRand::tempNameChar() {
  int v = randomInt(0, 35);
  return v < 26 ? char('A' + v) : char('0' + (v - 26));
}

int QuorvelRand::firstIndex() { return generator().first; }

int QuorvelRand::secondIndex() { return generator().second; }
