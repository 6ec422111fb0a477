// The two encryption schemes side by side on one core: password guesses per second of each
// key derivation (the classic MD5 key against Argon2id at the builder's defaults, or at the
// memory in MiB and passes given as arguments) and the ratio, then the throughput of opening
// 2,000,000-byte chunks (the builder's chunk size) sealed with XChaCha20-Poly1305 beside the
// classic AES-CBC decryption of the same chunks.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "crypto/AesContext.h"
#include "crypto/AesKeyDerivation.h"
#include "crypto/AesMessageEncrypt.h"
#include "crypto/MessageSealer.h"

namespace {
constexpr uint32_t kChunk = 2000000;
constexpr int kChunks = 64;

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Guesses per second: as many derivations as fit in about `budget` seconds, at least `least`.
template <typename F>
double guessesPerSecond(F derive, double budget, int least) {
  auto start = std::chrono::steady_clock::now();
  int done = 0;
  while (done < least || seconds(start) < budget) {
    if (!derive(done)) {
      std::fprintf(stderr, "derivation failed\n");
      std::exit(1);
    }
    ++done;
  }
  return done / seconds(start);
}

double bestMegabytesPerSecond(int rounds, bool (*once)(void *), void *context) {
  double best = 0;
  for (int r = 0; r < rounds; ++r) {
    auto start = std::chrono::steady_clock::now();
    if (!once(context)) {
      std::fprintf(stderr, "decryption failed\n");
      std::exit(1);
    }
    const double rate = double(kChunk) * kChunks / seconds(start) / 1e6;
    if (rate > best) best = rate;
  }
  return best;
}

struct Chunks {
  DataBuffer plain;
  DataBuffer sealed;
  DataBuffer aes;
  MessageSealer sealer;
  AesContext cipher;
  DataBuffer work;
};

bool openSealed(void *context) {
  Chunks &c = *static_cast<Chunks *>(context);
  MessagePlace place;
  place.kind = MessageKind::Chunk;
  for (int i = 0; i < kChunks; ++i) {
    c.work.clear();
    c.work.appendBuffer(c.sealed);
    if (!c.sealer.open(place, c.work) || c.work.getSize() != kChunk) return false;
  }
  return true;
}

bool decryptClassic(void *context) {
  Chunks &c = *static_cast<Chunks *>(context);
  LogNull log;
  for (int i = 0; i < kChunks; ++i) {
    c.work.clear();
    c.work.appendBuffer(c.aes);
    if (!c.cipher.decryptBuffer(c.work, c.work, log) || c.work.getSize() != kChunk) return false;
  }
  return true;
}
}  // namespace

int main(int argc, char **argv) {
  KdfParams params;
  if (argc == 3) {
    params.memoryKiB = uint32_t(std::atoi(argv[1])) * 1024;
    params.passes = uint32_t(std::atoi(argv[2]));
  }
  MessageSealer::randomSalt(params);
  LogNull log;
  const char password[] = "correct horse battery staple";
  const uint32_t length = sizeof password - 1;
  DataBuffer key;
  const double classic =
      guessesPerSecond([&](int) { return deriveKey(password, length, 256, key); }, 1.0, 1000);
  Chunks c;
  const double sealed = guessesPerSecond(
      [&](int) { return c.sealer.deriveKey(password, length, params, log); }, 3.0, 3);
  std::printf("derivation: classic MD5 %.0f guesses/s, Argon2id (%u MiB, %u passes) %.2f guesses/s (%.3f s each)\n",
              classic, params.memoryKiB / 1024, params.passes, sealed, 1 / sealed);
  std::printf("derivation cost ratio Argon2id/classic = %.3g\n", classic / sealed);

  std::mt19937 rnd(29);
  c.plain.reserve(kChunk);
  for (uint32_t i = 0; i < kChunk; ++i) c.plain.appendByte(uint8_t(rnd()));
  MessagePlace place;
  place.kind = MessageKind::Chunk;
  if (!c.sealer.seal(place, c.plain.getData(), kChunk, c.sealed) ||
      !aesEncryptMessage(key, 256, c.plain.getData(), kChunk, c.aes, log)) {
    std::fprintf(stderr, "sealing failed\n");
    return 1;
  }
  c.cipher.setKeySize(256);
  c.cipher.setMode(AesContext::kCbc);
  c.cipher.setKey(key);
  c.work.reserve(kChunk + 64);
  const double open = bestMegabytesPerSecond(5, openSealed, &c);
  const double aes = bestMegabytesPerSecond(5, decryptClassic, &c);
  std::printf("decryption of %d chunks of %u bytes: XChaCha20-Poly1305 open %.0f MB/s, AES-256-CBC %.0f MB/s\n",
              kChunks, kChunk, open, aes);
  std::printf("decryption ratio sealed/classic = %.2f\n", open / aes);
  return 0;
}
