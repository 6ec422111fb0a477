// The check values as sfxpack lays them out: hexadecimal, most significant byte first, a new
// named value every 8000 files, each part encrypted on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "CheckValueList.h"
#include "MessageEncryptors.h"
#include "archive/CheckValues.h"
#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "crypto/AesContext.h"
#include "crypto/AesKeyDerivation.h"
#include "crypto/AesMessageEncrypt.h"

namespace {
std::string hex8(uint32_t crc) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", crc);
  return text;
}

std::vector<uint32_t> someCrcs(size_t count) {
  std::vector<uint32_t> crcs;
  for (size_t i = 0; i < count; ++i) crcs.push_back(uint32_t(i * 2654435761u));
  return crcs;
}
}  // namespace

TEST(CheckValueList, OneValueHoldsEightThousandFilesAndTheNextTakesTheRest) {
  const std::vector<uint32_t> crcs = someCrcs(8001);
  NamedValues values = {{"xmlConfig", "<SfxConfig/>"}};
  std::string error;
  ASSERT_TRUE(appendCheckValues(CheckValues::kFileList, crcs, MessageEncryptor(), values, error));
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[1].first, "fileCrc32");
  ASSERT_EQ(values[1].second.size(), 8u * 8000);
  for (size_t i = 0; i < 8000; i += 997) EXPECT_EQ(values[1].second.substr(8 * i, 8), hex8(crcs[i])) << i;
  EXPECT_EQ(values[2], (std::pair<std::string, std::string>("fileCrc32_2", hex8(crcs[8000]))));
}

TEST(CheckValueList, NoFilesStillSayThatTheListIsThere) {
  NamedValues values;
  std::string error;
  ASSERT_TRUE(appendCheckValues(CheckValues::kFileList, {}, MessageEncryptor(), values, error));
  EXPECT_EQ(values, (NamedValues{{"fileCrc32", ""}}));
}

TEST(CheckValueList, EachPartIsEncryptedOnItsOwnAndFitsItsValue) {
  DataBuffer key;
  ASSERT_TRUE(deriveKey("pw", 2, 256, key));
  MessageEncryptor encryptor = classicEncryptor(key, 256);
  const std::vector<uint32_t> crcs = someCrcs(8003);
  NamedValues values;
  std::string error;
  ASSERT_TRUE(appendCheckValues(CheckValues::kFileList, crcs, encryptor, values, error));
  ASSERT_EQ(values.size(), 2u);
  AesContext aes;
  aes.setKeySize(256);
  aes.setKey(key);
  for (size_t part = 0; part < 2; ++part) {
    EXPECT_LE(values[part].second.size(), 65535u);
    DataBuffer cipher, plain;
    for (size_t i = 0; i + 1 < values[part].second.size(); i += 2) {
      cipher.appendByte(uint8_t(std::stoi(values[part].second.substr(i, 2), nullptr, 16)));
    }
    LogNull log;
    ASSERT_TRUE(aes.decryptBuffer(cipher, plain, log));
    std::string text;
    for (uint32_t i = 0; i < plain.getSize(); ++i) {
      char two[3];
      std::snprintf(two, sizeof two, "%02x", plain.getData()[i]);
      text += two;
    }
    std::string want;
    for (size_t i = 8000 * part; i < std::min(crcs.size(), 8000 * (part + 1)); ++i) want += hex8(crcs[i]);
    EXPECT_EQ(text, want) << part;
  }
}
