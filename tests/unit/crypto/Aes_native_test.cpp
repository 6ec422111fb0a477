// Cross-checks with OpenSSL on long random messages, for the modes Python's cryptography lacks
// (1-bit CFB) and for sizes the committed vectors do not reach.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>

#include "base/LogBase.h"
#include "crypto/AesContext.h"
#include "unit/crypto/AesTestSupport.h"

namespace {

const EVP_CIPHER *opensslCipher(int mode, int bits) {
  switch (mode) {
    case AesContext::kCbc:
      return bits == 128 ? EVP_aes_128_cbc() : bits == 192 ? EVP_aes_192_cbc() : EVP_aes_256_cbc();
    case AesContext::kEcb:
      return bits == 128 ? EVP_aes_128_ecb() : bits == 192 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
    default:
      return bits == 128 ? EVP_aes_128_cfb1() : bits == 192 ? EVP_aes_192_cfb1() : EVP_aes_256_cfb1();
  }
}

// OpenSSL's encryption of whole blocks, without padding, from an all-zero chaining value.
std::vector<uint8_t> opensslEncrypt(int mode, int bits, const std::vector<uint8_t> &key,
                                    const std::vector<uint8_t> &plain) {
  static const uint8_t zeroIv[16] = {};
  std::vector<uint8_t> cipher(plain.size() + 16);
  EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
  int n = 0, last = 0;
  EXPECT_EQ(EVP_EncryptInit_ex(ctx, opensslCipher(mode, bits), nullptr, key.data(), zeroIv), 1);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EXPECT_EQ(EVP_EncryptUpdate(ctx, cipher.data(), &n, plain.data(), int(plain.size())), 1);
  EXPECT_EQ(EVP_EncryptFinal_ex(ctx, cipher.data() + n, &last), 1);
  EVP_CIPHER_CTX_free(ctx);
  cipher.resize(size_t(n + last));
  return cipher;
}

class AesAgainstOpenssl : public EachAesEngine {};
SFX_FOR_EACH_AES_ENGINE(AesAgainstOpenssl);

}  // namespace

TEST_P(AesAgainstOpenssl, EveryModeAndKeySizeOnRandomMessages) {
  std::mt19937 rng(11);
  LogNull log;
  for (int mode : {AesContext::kCbc, AesContext::kEcb, AesContext::kCfb1}) {
    for (int bits : {128, 192, 256}) {
      // CFB1 runs the cipher once per bit: keep its messages short.
      for (size_t blocks :
           mode == AesContext::kCfb1 ? std::vector<size_t>{1, 3, 9} : std::vector<size_t>{1, 7, 8, 9, 4099}) {
        std::vector<uint8_t> key(bits / 8), plain(16 * blocks);
        for (auto &b : key) b = uint8_t(rng());
        for (auto &b : plain) b = uint8_t(rng());
        AesContext aes;
        if (GetParam() == AesEngine::Portable) aes.usePortableCode();
        aes.setKeySize(bits);
        aes.setKey(bufferOf(key));
        aes.setMode(mode);
        aes.setPaddingScheme(2);
        DataBuffer out;
        ASSERT_TRUE(aes.decryptBuffer(bufferOf(opensslEncrypt(mode, bits, key, plain)), out, log));
        EXPECT_EQ(bytesOf(out), plain) << "mode " << mode << ", " << bits << " bits, " << blocks << " blocks";
      }
    }
  }
}
