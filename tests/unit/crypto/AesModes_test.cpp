#include "crypto/AesModes.h"

#include <gtest/gtest.h>

#include <random>

#include "crypto/AesKeySchedule.h"
#include "unit/crypto/AesTestSupport.h"

namespace {

AesKeySchedule forwardSchedule(const std::vector<uint8_t> &key) {
  AesKeySchedule ks;
  aesExpandKey(key.data(), int(key.size() * 8), ks);
  return ks;
}

AesKeySchedule inverseSchedule(const std::vector<uint8_t> &key) {
  AesKeySchedule inverse;
  aesMakeDecryptionSchedule(forwardSchedule(key), inverse);
  return inverse;
}

// FIPS-197 appendix A keys, which SP 800-38A uses as well.
const char *const kStandardKeys[] = {
    "2b7e151628aed2a6abf7158809cf4f3c",
    "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b",
    "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
};

const char kSp800Plain[] =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
const char kSp800Iv[] = "000102030405060708090a0b0c0d0e0f";

}  // namespace

TEST(AesKeySchedule, LastWordsMatchTheStandardExpansions) {
  // The last expanded word of FIPS-197 A.1-A.3 and the round counts.
  const uint32_t lastWord[] = {0xb6630ca6, 0x01002202, 0x706c631e};
  for (int i = 0; i < 3; ++i) {
    AesKeySchedule ks = forwardSchedule(fromHex(kStandardKeys[i]));
    EXPECT_EQ(ks.rounds, 10 + 2 * i);
    uint32_t w = ks.words[4 * ks.rounds + 3];  // little-endian column: byte 0 is the low byte
    uint32_t bigEndian = (w >> 24) | ((w >> 8) & 0xFF00) | ((w << 8) & 0xFF0000) | (w << 24);
    EXPECT_EQ(bigEndian, lastWord[i]) << kStandardKeys[i];
  }
}

class AesModes : public EachAesEngine {};
SFX_FOR_EACH_AES_ENGINE(AesModes);

TEST_P(AesModes, Fips197ExampleVectorsBothDirections) {
  const char *keys[] = {"000102030405060708090a0b0c0d0e0f",
                        "000102030405060708090a0b0c0d0e0f1011121314151617",
                        "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"};
  const char *ciphers[] = {"69c4e0d86a7b0430d8cdb78070b4c55a", "dda97ca4864cdfe06eaf70a0ec0d7191",
                           "8ea2b7ca516745bfeafc49904b496089"};
  const std::vector<uint8_t> plain = fromHex("00112233445566778899aabbccddeeff");
  for (int i = 0; i < 3; ++i) {
    std::vector<uint8_t> key = fromHex(keys[i]), block(16);
    aesEncryptBlock(GetParam(), forwardSchedule(key), plain.data(), block.data());
    EXPECT_EQ(block, fromHex(ciphers[i])) << keys[i];
    aesDecryptEcb(GetParam(), inverseSchedule(key), block.data(), block.data(), 1);
    EXPECT_EQ(block, plain) << keys[i];
  }
}

TEST_P(AesModes, Sp800_38aEcbAndCbcDecryption) {
  const char *ecb[] = {
      "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"
      "43b1cd7f598ece23881b00e3ed0306887b0c785e27e8ad3f8223207104725dd4",
      "bd334f1d6e45f25ff712a214571fa5cc974104846d0ad3ad7734ecb3ecee4eef"
      "ef7afd2270e2e60adce0ba2face6444e9a4b41ba738d6c72fb16691603c18e0e",
      "f3eed1bdb5d2a03c064b5a7e3db181f8591ccb10d410ed26dc5ba74a31362870"
      "b6ed21b99ca6f4f9f153e7b1beafed1d23304b7a39f9f3ff067d8d8f9e24ecc7"};
  const char *cbc[] = {
      "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
      "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7",
      "4f021db243bc633d7178183a9fa071e8b4d9ada9ad7dedf4e5e738763f69145a"
      "571b242012fb7ae07fa9baac3df102e008b0e27988598881d920a9e64f5615cd",
      "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
      "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"};
  const std::vector<uint8_t> plain = fromHex(kSp800Plain), iv = fromHex(kSp800Iv);
  for (int i = 0; i < 3; ++i) {
    AesKeySchedule inverse = inverseSchedule(fromHex(kStandardKeys[i]));
    std::vector<uint8_t> out(64);
    aesDecryptEcb(GetParam(), inverse, fromHex(ecb[i]).data(), out.data(), 4);
    EXPECT_EQ(out, plain) << "ECB " << kStandardKeys[i];
    aesDecryptCbc(GetParam(), inverse, iv.data(), fromHex(cbc[i]).data(), out.data(), 4);
    EXPECT_EQ(out, plain) << "CBC " << kStandardKeys[i];
  }
}

TEST_P(AesModes, Sp800_38aCfb1Decryption) {
  // The 16-bit CFB1 examples: plaintext bits 0110101111000001.
  const char *cipher[] = {"68b3", "9359", "9029"};
  const std::vector<uint8_t> iv = fromHex(kSp800Iv);
  for (int i = 0; i < 3; ++i) {
    std::vector<uint8_t> data = fromHex(cipher[i]);
    aesDecryptCfb1(GetParam(), forwardSchedule(fromHex(kStandardKeys[i])), iv.data(), data.data(),
                   data.data(), data.size());
    EXPECT_EQ(data, fromHex("6bc1")) << kStandardKeys[i];
  }
}

TEST(AesEngines, GiveIdenticalResultsForEveryBlockCountAndInPlace) {
  if (aesBestEngine() != AesEngine::AesNi) GTEST_SKIP() << "this CPU has no AES instructions";
  std::mt19937 rng(7);
  for (int keyBytes : {16, 24, 32}) {
    std::vector<uint8_t> key(keyBytes), iv(16), data(16 * 40);
    for (auto &b : key) b = uint8_t(rng());
    for (auto &b : iv) b = uint8_t(rng());
    for (auto &b : data) b = uint8_t(rng());
    AesKeySchedule forward = forwardSchedule(key), inverse = inverseSchedule(key);
    // Every count around the 8-block groups of the AES-NI code, with and without chaining.
    for (size_t blocks = 0; blocks <= 40; ++blocks) {
      std::vector<uint8_t> a(data.begin(), data.begin() + 16 * blocks), b(16 * blocks);
      aesDecryptCbc(AesEngine::Portable, inverse, iv.data(), a.data(), b.data(), blocks);
      aesDecryptCbc(AesEngine::AesNi, inverse, iv.data(), a.data(), a.data(), blocks);
      ASSERT_EQ(a, b) << "CBC, " << blocks << " blocks, key " << keyBytes;
      aesDecryptEcb(AesEngine::Portable, inverse, data.data(), b.data(), blocks);
      aesDecryptEcb(AesEngine::AesNi, inverse, data.data(), a.data(), blocks);
      ASSERT_EQ(a, b) << "ECB, " << blocks << " blocks, key " << keyBytes;
    }
    std::vector<uint8_t> a(16), b(16);
    aesEncryptBlock(AesEngine::Portable, forward, data.data(), a.data());
    aesEncryptBlock(AesEngine::AesNi, forward, data.data(), b.data());
    EXPECT_EQ(a, b);
  }
}
