// UTC and local FILETIME, and the local clock, through the C runtime's time-zone rules.
#include <time.h>

#include "platform/win32.h"

namespace {
constexpr int64_t kTicksPerSecond = 10000000;

// Seconds east of Greenwich in force now. Windows converts file times with today's offset,
// whatever the season of the time converted; callers correct for the season themselves.
int64_t offsetNow() {
  time_t now = time(nullptr);
  tm fields{};
  return localtime_r(&now, &fields) ? int64_t(fields.tm_gmtoff) : 0;
}

bool shift(const FILETIME *from, FILETIME *to, int64_t seconds) {
  // Like Windows, both directions refuse times with the top bit set (beyond the year 30828).
  if (from == nullptr || to == nullptr || (from->dwHighDateTime & 0x80000000u) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int64_t ticks = int64_t((uint64_t(from->dwHighDateTime) << 32) | from->dwLowDateTime) + seconds * kTicksPerSecond;
  if (ticks < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  to->dwLowDateTime = DWORD(uint64_t(ticks));
  to->dwHighDateTime = DWORD(uint64_t(ticks) >> 32);
  return TRUE;
}
}  // namespace

BOOL FileTimeToLocalFileTime(const FILETIME *utc, FILETIME *local) { return shift(utc, local, offsetNow()); }

BOOL LocalFileTimeToFileTime(const FILETIME *local, FILETIME *utc) { return shift(local, utc, -offsetNow()); }

void GetLocalTime(SYSTEMTIME *now) {
  timespec clock{};
  clock_gettime(CLOCK_REALTIME, &clock);
  tm fields{};
  localtime_r(&clock.tv_sec, &fields);
  now->wYear = WORD(fields.tm_year + 1900);
  now->wMonth = WORD(fields.tm_mon + 1);
  now->wDayOfWeek = WORD(fields.tm_wday);
  now->wDay = WORD(fields.tm_mday);
  now->wHour = WORD(fields.tm_hour);
  now->wMinute = WORD(fields.tm_min);
  now->wSecond = WORD(fields.tm_sec);
  now->wMilliseconds = WORD(clock.tv_nsec / 1000000);
}
