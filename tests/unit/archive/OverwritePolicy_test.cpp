// The decision alone: what each policy says for a missing file, a directory in the way, and
// files older, as old and newer than the entry.
#include "archive/OverwritePolicy.h"

#include <gtest/gtest.h>

namespace {
FILETIME at(uint64_t ticks) { return FILETIME{DWORD(ticks), DWORD(ticks >> 32)}; }

WIN32_FILE_ATTRIBUTE_DATA fileAt(uint64_t ticks, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  data.dwFileAttributes = attributes;
  data.ftLastWriteTime = at(ticks);
  return data;
}
}  // namespace

TEST(OverwritePolicy, EachPolicyDecidesOnlyForExistingFiles) {
  // High words that differ, so that a comparison of the low words alone would go wrong.
  const FILETIME entry = at(0x01D0000000000000ULL);
  const WIN32_FILE_ATTRIBUTE_DATA older = fileAt(0x01CFFFFFFFFFFFFFULL), same = fileAt(0x01D0000000000000ULL),
                                  newer = fileAt(0x01D0000000000001ULL),
                                  folder = fileAt(0, FILE_ATTRIBUTE_DIRECTORY);
  for (OverwritePolicy policy : {OverwritePolicy::Always, OverwritePolicy::Never, OverwritePolicy::Older}) {
    EXPECT_TRUE(overwriteAllowed(policy, nullptr, entry));
    EXPECT_TRUE(overwriteAllowed(policy, &folder, entry));
  }
  EXPECT_TRUE(overwriteAllowed(OverwritePolicy::Always, &newer, entry));
  EXPECT_FALSE(overwriteAllowed(OverwritePolicy::Never, &older, entry));
  EXPECT_TRUE(overwriteAllowed(OverwritePolicy::Older, &older, entry));
  EXPECT_FALSE(overwriteAllowed(OverwritePolicy::Older, &same, entry));
  EXPECT_FALSE(overwriteAllowed(OverwritePolicy::Older, &newer, entry));
}

TEST(OverwritePolicy, OnlyTheThreeWordsParse) {
  OverwritePolicy policy = OverwritePolicy::Older;
  EXPECT_TRUE(parseOverwritePolicy("NEVER", policy));
  EXPECT_EQ(policy, OverwritePolicy::Never);
  EXPECT_TRUE(parseOverwritePolicy("Always", policy));
  EXPECT_EQ(policy, OverwritePolicy::Always);
  EXPECT_TRUE(parseOverwritePolicy("older", policy));
  EXPECT_EQ(policy, OverwritePolicy::Older);
  for (const char *bad : {"", "old", "olderr", " never", "1", static_cast<const char *>(nullptr)}) {
    EXPECT_FALSE(parseOverwritePolicy(bad, policy)) << (bad ? bad : "null");
    EXPECT_EQ(policy, OverwritePolicy::Older);
  }
}
