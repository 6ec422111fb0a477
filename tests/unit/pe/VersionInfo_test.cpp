// Version numbers as publishers write them, and the refusals they get; pefile checks the whole
// resource in the end-to-end test.
#include "pe/VersionInfo.h"

#include <gtest/gtest.h>

TEST(VersionInfo, ParsesOneToFourNumbers) {
  uint32_t high = 1, low = 1;
  ASSERT_TRUE(parseVersionNumber("3.2.1.7", high, low));
  EXPECT_EQ(high, 0x00030002u);
  EXPECT_EQ(low, 0x00010007u);
  ASSERT_TRUE(parseVersionNumber("65535.0.0.65535", high, low));
  EXPECT_EQ(high, 0xFFFF0000u);
  EXPECT_EQ(low, 0x0000FFFFu);
  ASSERT_TRUE(parseVersionNumber("2", high, low));
  EXPECT_EQ(high, 0x00020000u);
  EXPECT_EQ(low, 0u);
  ASSERT_TRUE(parseVersionNumber("1.005", high, low));
  EXPECT_EQ(high, 0x00010005u);
  for (const char *bad : {"", "1.", ".1", "1..2", "1.2.3.4.5", "65536", "1.2.x", "-1", " 1", "1 ", "1.2.3.999999"}) {
    EXPECT_FALSE(parseVersionNumber(bad, high, low)) << bad;
  }
}

TEST(VersionInfo, RefusesUnknownKeysNamingTheKnownOnes) {
  Bytes out;
  std::string error;
  EXPECT_FALSE(makeVersionResource({{"ProductName", "x"}, {"Publisher", "y"}}, out, error));
  EXPECT_EQ(error,
            "unknown version key Publisher; the known keys are ProductName, FileDescription, CompanyName, "
            "LegalCopyright, FileVersion, ProductVersion, OriginalFilename, InternalName, Comments");
  EXPECT_FALSE(makeVersionResource({{"ProductVersion", "1.2.3.4.5"}}, out, error));
  EXPECT_EQ(error, "ProductVersion must be 1 to 4 numbers from 0 to 65535 separated by dots, not \"1.2.3.4.5\"");
  EXPECT_FALSE(makeVersionResource({{"Comments", std::string(3000, 'x')}}, out, error));
}

TEST(VersionInfo, BlockLengthsAddUp) {
  Bytes out;
  std::string error;
  ASSERT_TRUE(makeVersionResource({{"FileVersion", "1.2"}, {"CompanyName", "Ünïcode Ltd"}}, out, error)) << error;
  ASSERT_GE(out.size(), 92u);
  EXPECT_EQ(size_t(out[0] | out[1] << 8), out.size());
  EXPECT_EQ(out[2] | out[3] << 8, 52);  // the fixed part
  // The fixed part follows the key and its padding: 6 + 32 bytes of "VS_VERSION_INFO\0" + 2.
  EXPECT_EQ(out[40] | out[41] << 8 | out[42] << 16 | uint32_t(out[43]) << 24, 0xFEEF04BDu);
  // One version given stands for both.
  EXPECT_EQ(out[48] | out[49] << 8 | out[50] << 16 | out[51] << 24, 0x00010002);
  EXPECT_EQ(out[56] | out[57] << 8 | out[58] << 16 | out[59] << 24, 0x00010002);
}
