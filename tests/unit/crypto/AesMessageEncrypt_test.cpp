#include "crypto/AesMessageEncrypt.h"

#include <gtest/gtest.h>

#include "base/LogBase.h"
#include "unit/crypto/AesTestSupport.h"

namespace {
// Messages and verifiers encrypted by Python's cryptography (fixtures/gen_aes_vectors.py).
struct Message {
  int bits;
  const char *key, *plain, *cipher;
};
const Message kMessages[] = {
#define AES_MESSAGE(bits, key, plain, cipher) {bits, key, plain, cipher},
#include "fixtures/aes_vectors.inc"
#undef AES_MESSAGE
};
struct Verifier {
  const char *password;
  int bits;
  const char *cipher;
};
const Verifier kVerifiers[] = {
#define VERIFIER(password, bits, cipher) {password, bits, cipher},
#include "fixtures/aes_vectors.inc"
#undef VERIFIER
};
}  // namespace

TEST(AesEncryptMessage, GivesTheSameCiphertextAsAnIndependentImplementation) {
  LogNull log;
  for (const Message &m : kMessages) {
    std::vector<uint8_t> plain = fromHex(m.plain);
    DataBuffer out;
    out.append("old", 3);
    ASSERT_TRUE(
        aesEncryptMessage(bufferOf(fromHex(m.key)), m.bits, plain.data(), uint32_t(plain.size()), out, log));
    EXPECT_EQ(bytesOf(out), fromHex(m.cipher)) << m.bits << " bits, key " << m.key;
  }
}

TEST(MakePasswordVerifier, GivesTheSameVerifierAsAnIndependentImplementation) {
  LogNull log;
  for (const Verifier &v : kVerifiers) {
    std::vector<uint8_t> password = fromHex(v.password);
    DataBuffer out;
    ASSERT_TRUE(makePasswordVerifier(password.data(), uint32_t(password.size()), v.bits, out, log));
    EXPECT_EQ(bytesOf(out), fromHex(v.cipher)) << v.bits;
  }
}
