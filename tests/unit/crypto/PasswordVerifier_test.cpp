#include "crypto/PasswordVerifier.h"

#include <gtest/gtest.h>

#include <string>

#include "base/LogBase.h"
#include "base/StringBuffer.h"
#include "crypto/AesContext.h"
#include "unit/crypto/AesTestSupport.h"
#include "unit/crypto/AesVectors.h"

namespace {
bool accepts(AesContext &aes, int bits, const char *password, const DataBuffer &verifier) {
  LogNull log;
  StringBuffer text(password);
  return verifierAcceptsPassword(aes, bits, text, verifier, log);
}
}  // namespace

TEST(PasswordVerifier, AcceptsTheExactPasswordBytesOnly) {
  for (const VerifierVector &v : kVerifiers) {
    DataBuffer verifier = bufferOf(fromHex(v.cipher));
    AesContext aes;
    for (const char *wrong : {"Secret", "SECRET", "secret ", " secret", "secre", ""}) {
      EXPECT_FALSE(accepts(aes, v.bits, wrong, verifier)) << wrong << " " << v.bits;
    }
    // A key size other than the one the verifier was made with derives another key.
    EXPECT_FALSE(accepts(aes, v.bits == 128 ? 256 : 128, "secret", verifier));
    EXPECT_TRUE(accepts(aes, v.bits, "secret", verifier)) << v.bits;
    EXPECT_EQ(aes.getKeySize(), v.bits);
  }
}

TEST(PasswordVerifier, TheAcceptedKeyStaysForTheEntries) {
  const VerifierVector &v = kVerifiers[1];
  AesContext aes;
  aes.setMode(AesContext::kEcb);
  DataBuffer verifier = bufferOf(fromHex(v.cipher)), again;
  ASSERT_TRUE(accepts(aes, v.bits, "secret", verifier));
  // The context now decrypts in CBC with the derived key: the verifier itself decrypts again.
  LogNull log;
  ASSERT_TRUE(aes.decryptBuffer(verifier, again, log));
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(again.getData()), again.getSize()), "qzvk");
}

TEST(PasswordVerifier, EmptyOrTruncatedVerifiersRejectEveryPassword) {
  AesContext aes;
  std::vector<uint8_t> cipher = fromHex(kVerifiers[0].cipher);
  EXPECT_FALSE(accepts(aes, 128, "secret", DataBuffer()));
  cipher.resize(15);
  EXPECT_FALSE(accepts(aes, 128, "secret", bufferOf(cipher)));
}
