#include "base/Md5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/StringBuffer.h"

namespace {
std::string hex(const uint8_t d[16]) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (int i = 0; i < 16; ++i) {
    s += digits[d[i] >> 4];
    s += digits[d[i] & 15];
  }
  return s;
}

std::string md5Of(const std::string &text) {
  uint8_t d[16];
  Md5::digest(text.data(), uint32_t(text.size()), d);
  return hex(d);
}
}  // namespace

TEST(Md5, Rfc1321TestSuite) {
  EXPECT_EQ(md5Of(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(md5Of("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(md5Of("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(md5Of("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(md5Of("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(md5Of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(md5Of("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PiecewiseUpdatesEqualOneUpdate) {
  std::string text(1000, '\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char(i * 7 + 3);
  for (size_t split : {0, 1, 55, 56, 63, 64, 65, 127, 999}) {
    Md5 md5;
    md5.update(text.data(), uint32_t(split));
    md5.update(text.data() + split, uint32_t(text.size() - split));
    uint8_t d[16];
    md5.final(d);
    EXPECT_EQ(hex(d), md5Of(text)) << split;
  }
}

TEST(Md5, DigestOfAStringBufferCoversItsBytes) {
  StringBuffer text("message digest");
  uint8_t d[16];
  Md5::digest(text, d);
  EXPECT_EQ(hex(d), "f96b697d7cb7938d525a2f31aaf161d0");
}
