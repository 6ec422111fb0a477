#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/win32.h"

TEST(Platform, GetLocalTimeMatchesTheRuntimesLocalClock) {
  SYSTEMTIME now{};
  std::time_t before = std::time(nullptr);
  GetLocalTime(&now);
  std::tm fields = *std::localtime(&before);
  // Tolerate a second boundary between the two readings.
  int got = now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
  int expected = fields.tm_hour * 3600 + fields.tm_min * 60 + fields.tm_sec;
  EXPECT_LE((got - expected + 86400) % 86400, 2);
  EXPECT_EQ(now.wYear, fields.tm_year + 1900);
  EXPECT_EQ(now.wMonth, fields.tm_mon + 1);
  EXPECT_EQ(now.wDayOfWeek, fields.tm_wday);
  EXPECT_LT(now.wMilliseconds, 1000);
}

namespace {
uint64_t ticksOf(const FILETIME &t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; }
FILETIME fileTimeOf(uint64_t ticks) { return FILETIME{DWORD(ticks), DWORD(ticks >> 32)}; }
// 2021-07-01 12:30:15.5 and 2021-01-15 12:30:15.5, as FILETIME ticks of the same wall clock.
constexpr uint64_t kSummerNoon = (1625142615ULL + 11644473600ULL) * 10000000ULL + 5000000;
constexpr uint64_t kWinterNoon = (1610713815ULL + 11644473600ULL) * 10000000ULL + 5000000;
}  // namespace

TEST(Platform, LocalFileTimeToFileTimeUndoesFileTimeToLocalFileTime) {
  for (uint64_t ticks : {kSummerNoon, kWinterNoon}) {
    FILETIME utc = fileTimeOf(ticks), local{}, back{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(ticksOf(back), ticks);
  }
}

#ifndef _WIN32
// Like Windows, the emulation shifts by the offset in force now, whatever the season of the time
// converted (Berlin: +1 h in winter, +2 h in summer), and keeps the fraction of a second.
TEST(Platform, LocalFileTimeToFileTimeUsesTheOffsetInForceNow) {
  const char *saved = std::getenv("TZ");
  std::string previous = saved ? saved : "";
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  std::time_t now = std::time(nullptr);
  std::tm fields{};
  localtime_r(&now, &fields);
  const uint64_t offsetNow = uint64_t(fields.tm_gmtoff) * 10000000ULL;
  FILETIME summer = fileTimeOf(kSummerNoon), winter = fileTimeOf(kWinterNoon), utc{};
  ASSERT_TRUE(LocalFileTimeToFileTime(&summer, &utc));
  EXPECT_EQ(ticksOf(utc), kSummerNoon - offsetNow);
  ASSERT_TRUE(LocalFileTimeToFileTime(&winter, &utc));
  EXPECT_EQ(ticksOf(utc), kWinterNoon - offsetNow);
  if (saved) {
    setenv("TZ", previous.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}
#endif

#ifndef _WIN32
// Such values come straight from payload bytes; the emulation must not overflow on them.
TEST(Platform, FileTimesWithTheTopBitSetAreRefusedBothWays) {
  FILETIME huge{0x81818181u, 0x81818181u}, out{};
  EXPECT_FALSE(LocalFileTimeToFileTime(&huge, &out));
  EXPECT_FALSE(FileTimeToLocalFileTime(&huge, &out));
}
#endif
