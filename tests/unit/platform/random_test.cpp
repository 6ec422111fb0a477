#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32.h"

// The generator's seeding depends on these calls behaving as on Windows.
TEST(Platform, BaseCryptographicProviderGivesRandomBytes) {
  HCRYPTPROV provider = 0;
  ASSERT_TRUE(CryptAcquireContextA(&provider, nullptr, "Microsoft Base Cryptographic Provider v1.0", 1, 0xF0000000));
  unsigned char a[64] = {}, b[64] = {};
  ASSERT_TRUE(CryptGenRandom(provider, sizeof a, a));
  ASSERT_TRUE(CryptGenRandom(provider, sizeof b, b));
  EXPECT_NE(std::memcmp(a, b, sizeof a), 0);
  EXPECT_TRUE(CryptReleaseContext(provider, 0));
}

TEST(Platform, TickCountAdvancesWithSleep) {
  DWORD start = GetTickCount();
  Sleep(100);
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 80u);
  EXPECT_LT(elapsed, 5000u);
  EXPECT_NE(GetCurrentThreadId(), 0u);
}

TEST(Platform, LastErrorRoundTrips) {
  SetLastError(ERROR_SHARING_VIOLATION);
  EXPECT_EQ(GetLastError(), 32u);
  SetLastError(0);
  EXPECT_EQ(GetLastError(), 0u);
}
