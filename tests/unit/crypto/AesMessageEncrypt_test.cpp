#include "crypto/AesMessageEncrypt.h"

#include <gtest/gtest.h>

#include "base/LogBase.h"
#include "unit/crypto/AesTestSupport.h"
#include "unit/crypto/AesVectors.h"

TEST(AesEncryptMessage, GivesTheSameCiphertextAsAnIndependentImplementation) {
  LogNull log;
  for (const AesMessageVector &m : kAesMessages) {
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
  for (const VerifierVector &v : kVerifiers) {
    std::vector<uint8_t> password = fromHex(v.password);
    DataBuffer out;
    ASSERT_TRUE(makePasswordVerifier(password.data(), uint32_t(password.size()), v.bits, out, log));
    EXPECT_EQ(bytesOf(out), fromHex(v.cipher)) << v.bits;
  }
}
