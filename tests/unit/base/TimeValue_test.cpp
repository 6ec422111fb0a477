#include "base/TimeValue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {
FILETIME fileTime(uint64_t ticks) { return FILETIME{DWORD(ticks), DWORD(ticks >> 32)}; }
uint64_t ticksOf(const FILETIME &t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; }
}  // namespace

TEST(TimeValue, FileTimeToWholeSecondsAndBack) {
  // 2020-01-02 03:04:05 UTC is 1577934245 seconds after the epoch; the fraction is dropped.
  uint64_t ticks = (1577934245ULL + 11644473600ULL) * 10000000ULL;
  TimeValue value;
  value.fromFileTime(fileTime(ticks + 9999999));
  EXPECT_EQ(value.seconds(), 1577934245);
  EXPECT_EQ(value.flags()[0], 1);
  EXPECT_EQ(value.flags()[1], 1);
  EXPECT_EQ(value.flags()[2], 0);
  EXPECT_EQ(ticksOf(value.toFileTime()), ticks);

  value.fromFileTime(fileTime(116444736000000000ULL));
  EXPECT_EQ(value.seconds(), 0);
}

TEST(TimeValue, OffsetNowAgreesWithOffsetAtThePresentMoment) {
  int64_t now = int64_t(std::time(nullptr));
  EXPECT_EQ(TimeValue::utcOffsetNow(), TimeValue::utcOffsetAt(now));
  TimeValue value;
  value.setSeconds(now);
  value.applyLocalOffsetCorrection();
  EXPECT_EQ(value.seconds(), now);
}

#ifndef _WIN32
// Wine's runtime takes its zone from the host, so a zone is set only in the Linux run.
TEST(TimeValue, CorrectionGivesTheExactMomentOfAWallClockTimeInEitherSeason) {
  const char *saved = std::getenv("TZ");
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  const int64_t summer = 1593601200;  // 2020-07-01 11:00 UTC, CEST (+2 h)
  const int64_t winter = 1577880000;  // 2020-01-01 12:00 UTC, CET (+1 h)
  EXPECT_EQ(TimeValue::utcOffsetAt(summer), 7200);
  EXPECT_EQ(TimeValue::utcOffsetAt(winter), 3600);
  // Noon wall clock in July and in January, converted with today's offset as Windows'
  // LocalFileTimeToFileTime does, come out as the exact UTC moments whatever the season now.
  const int64_t julyNoonAsUtc = 1593604800, januaryNoonAsUtc = 1577880000;
  TimeValue value;
  value.setSeconds(julyNoonAsUtc - TimeValue::utcOffsetNow());
  value.applyLocalOffsetCorrection();
  EXPECT_EQ(value.seconds(), julyNoonAsUtc - 7200);
  value.setSeconds(januaryNoonAsUtc - TimeValue::utcOffsetNow());
  value.applyLocalOffsetCorrection();
  EXPECT_EQ(value.seconds(), januaryNoonAsUtc - 3600);
  uint64_t ticks = uint64_t(julyNoonAsUtc - TimeValue::utcOffsetNow() + 11644473600LL) * 10000000ULL + 1234567;
  EXPECT_EQ(ticksOf(TimeValue::localOffsetCorrected(fileTime(ticks))),
            uint64_t(julyNoonAsUtc - 7200 + 11644473600LL) * 10000000ULL + 1234567);
  if (saved) {
    setenv("TZ", saved, 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}
#endif
