#include "crypto/AesKeyDerivation.h"

#include <gtest/gtest.h>

#include "base/StringBuffer.h"
#include "unit/crypto/AesTestSupport.h"
#include "unit/crypto/AesVectors.h"

TEST(DeriveKey, MatchesAnIndependentComputationForEveryKeySize) {
  // Among the passwords: empty, differing only in case or by a trailing space, non-ASCII bytes,
  // longer than an MD5 block, and one with a zero byte inside.
  for (const DerivedKeyVector &d : kDerivedKeys) {
    std::vector<uint8_t> password = fromHex(d.password);
    DataBuffer key;
    key.append("old", 3);
    ASSERT_TRUE(deriveKey(password.data(), uint32_t(password.size()), d.bits, key));
    EXPECT_EQ(bytesOf(key), fromHex(d.key)) << d.password << " " << d.bits;
    EXPECT_EQ(key.getSize(), uint32_t(d.bits / 8));
    StringBuffer text;
    text.appendBytes(password.data(), uint32_t(password.size()));
    ASSERT_TRUE(deriveKey(text, d.bits, key));
    EXPECT_EQ(bytesOf(key), fromHex(d.key)) << "as a StringBuffer: " << d.password;
  }
}

TEST(DeriveKey, AnEmptyPasswordNeedsNoStorage) {
  DataBuffer fromNull, fromEmpty;
  ASSERT_TRUE(deriveKey(nullptr, 0, 256, fromNull));
  ASSERT_TRUE(deriveKey("", 0, 256, fromEmpty));
  EXPECT_EQ(bytesOf(fromNull), bytesOf(fromEmpty));
}
