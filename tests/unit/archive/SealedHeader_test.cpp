#include "archive/SealedHeader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {
std::vector<uint8_t> section(uint32_t memory, uint32_t passes, uint8_t saltLength = 16, uint8_t checkLength = 40,
                             uint8_t authenticatorLength = 40) {
  std::vector<uint8_t> out;
  for (uint32_t v : {memory, passes, 7u}) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
  }
  out.push_back(saltLength);
  for (int i = 0; i < 16; ++i) out.push_back(uint8_t(0xA0 + i));
  out.push_back(checkLength);
  for (int i = 0; i < 40; ++i) out.push_back(uint8_t(i));
  out.push_back(authenticatorLength);
  for (int i = 0; i < 40; ++i) out.push_back(uint8_t(0x80 + i));
  return out;
}
}  // namespace

TEST(SealedHeader, ReadsEachFieldOfAWellFormedSection) {
  const std::vector<uint8_t> bytes = section(65536, 3);
  ASSERT_EQ(bytes.size(), SealedHeader::kSize);
  SealedHeader header;
  ASSERT_TRUE(SealedHeader::parse(bytes.data(), uint32_t(bytes.size()), header));
  EXPECT_EQ(header.params.memoryKiB, 65536u);
  EXPECT_EQ(header.params.passes, 3u);
  EXPECT_EQ(header.entryCount, 7u);
  EXPECT_EQ(header.params.salt[0], 0xA0);
  EXPECT_EQ(header.params.salt[15], 0xAF);
  EXPECT_EQ(header.check[39], 39);
  EXPECT_EQ(header.authenticator[0], 0x80);
  EXPECT_EQ(std::memcmp(bytes.data() + SealedHeader::kCheckOffset, header.check, 40), 0);
  EXPECT_EQ(std::memcmp(bytes.data() + SealedHeader::kAuthenticatorOffset, header.authenticator, 40), 0);
}

TEST(SealedHeader, RefusesBoundsLengthsAndSizesItDoesNotKnow) {
  SealedHeader header;
  for (const std::vector<uint8_t> &bad :
       {section(1024 * 1024 + 1, 1), section(4, 1), section(1024, 0), section(1024, 33), section(1024, 1, 15),
        section(1024, 1, 16, 39), section(1024, 1, 16, 40, 0)}) {
    EXPECT_FALSE(SealedHeader::parse(bad.data(), uint32_t(bad.size()), header));
  }
  std::vector<uint8_t> longer = section(1024, 1);
  longer.push_back(0);
  EXPECT_FALSE(SealedHeader::parse(longer.data(), uint32_t(longer.size()), header));
  EXPECT_FALSE(SealedHeader::parse(longer.data(), SealedHeader::kSize - 1, header));
  const std::vector<uint8_t> limits = section(1024 * 1024, 32);
  EXPECT_TRUE(SealedHeader::parse(limits.data(), uint32_t(limits.size()), header));
}
