#include <gtest/gtest.h>

#include <ctime>

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
