// Decrypts one 64 MiB CBC message with the program's AES and with OpenSSL's EVP, for 128- and
// 256-bit keys, and prints the throughput ratio ours/OpenSSL (above 1 means faster). The table
// code is timed too, for CPUs without AES instructions.
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "crypto/AesContext.h"
#include "crypto/AesMessageEncrypt.h"
#include "crypto/AesModes.h"

namespace {

constexpr uint32_t kMessageBytes = (64u << 20);
constexpr int kRuns = 7;

template <typename F>
double timed(F run) {
  auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool opensslDecrypt(int bits, const uint8_t *key, const DataBuffer &cipher, std::vector<uint8_t> &plain) {
  EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
  static const uint8_t zeroIv[16] = {};
  int produced = 0, last = 0;
  bool ok =
      EVP_DecryptInit_ex(ctx, bits == 128 ? EVP_aes_128_cbc() : EVP_aes_256_cbc(), nullptr, key, zeroIv) &&
      EVP_DecryptUpdate(ctx, plain.data(), &produced, cipher.getData(), int(cipher.getSize())) &&
      EVP_DecryptFinal_ex(ctx, plain.data() + produced, &last);
  EVP_CIPHER_CTX_free(ctx);
  return ok && uint32_t(produced + last) == cipher.getSize() - 16;
}

double mibPerSecond(double seconds) { return kMessageBytes / seconds / (1 << 20); }

}  // namespace

int main() {
  std::mt19937 rng(1);
  std::vector<uint8_t> plain(kMessageBytes);
  for (auto &b : plain) b = uint8_t(rng());
  LogNull log;
  double oursTotal = 0, opensslTotal = 0;

  for (int bits : {128, 256}) {
    DataBuffer key, cipher, out;
    for (int i = 0; i < bits / 8; ++i) key.appendByte(uint8_t(rng()));
    if (!aesEncryptMessage(key, bits, plain.data(), kMessageBytes, cipher, log)) return 1;

    AesContext ours, portable;
    portable.usePortableCode();
    for (AesContext *aes : {&ours, &portable}) {
      aes->setKeySize(bits);
      aes->setKey(key);
    }
    // The three decryptions take turns, so that load from other processes spreads evenly.
    std::vector<uint8_t> reference(cipher.getSize());
    bool same = true;
    double oursSeconds = 1e30, portableSeconds = 1e30, opensslSeconds = 1e30;
    for (int run = 0; run < kRuns; ++run) {
      oursSeconds = std::min(oursSeconds, timed([&] { same &= ours.decryptBuffer(cipher, out, log); }));
      same &= out.getSize() == kMessageBytes && std::memcmp(out.getData(), plain.data(), kMessageBytes) == 0;
      portableSeconds =
          std::min(portableSeconds, timed([&] { same &= portable.decryptBuffer(cipher, out, log); }));
      same &= out.getSize() == kMessageBytes && std::memcmp(out.getData(), plain.data(), kMessageBytes) == 0;
      opensslSeconds = std::min(
          opensslSeconds, timed([&] { same &= opensslDecrypt(bits, key.getData(), cipher, reference); }));
      same &= std::memcmp(reference.data(), plain.data(), kMessageBytes) == 0;
    }
    if (!same) {
      std::printf("AES-%d: decryptions disagree\n", bits);
      return 1;
    }
    std::printf(
        "AES-%d CBC decrypt, 64 MiB: ours %.0f MiB/s, ours (table code) %.0f MiB/s, OpenSSL %.0f MiB/s\n",
        bits, mibPerSecond(oursSeconds), mibPerSecond(portableSeconds), mibPerSecond(opensslSeconds));
    oursTotal += oursSeconds;
    opensslTotal += opensslSeconds;
  }
  std::printf("aes ratio ours/openssl=%.2f (aes-ni: %s)\n", opensslTotal / oursTotal,
              aesBestEngine() == AesEngine::AesNi ? "yes" : "no");
  return 0;
}
