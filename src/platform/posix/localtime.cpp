// UTC and local FILETIME through the C runtime's time-zone rules.
#include <time.h>

#include "platform/win32.h"

namespace {
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;
}  // namespace

// Like Windows, both directions refuse times with the top bit set (beyond the year 30828).
BOOL FileTimeToLocalFileTime(const FILETIME *utc, FILETIME *local) {
  if (utc == nullptr || local == nullptr || (utc->dwHighDateTime & 0x80000000u) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int64_t ticks = int64_t((uint64_t(utc->dwHighDateTime) << 32) | utc->dwLowDateTime);
  time_t seconds = time_t((ticks - kUnixEpochTicks) / kTicksPerSecond);
  tm fields{};
  if (localtime_r(&seconds, &fields) == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  uint64_t shifted = uint64_t(ticks + int64_t(fields.tm_gmtoff) * kTicksPerSecond);
  local->dwLowDateTime = DWORD(shifted);
  local->dwHighDateTime = DWORD(shifted >> 32);
  return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME *local, FILETIME *utc) {
  if (local == nullptr || utc == nullptr || (local->dwHighDateTime & 0x80000000u) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int64_t ticks = int64_t((uint64_t(local->dwHighDateTime) << 32) | local->dwLowDateTime);
  // Read the wall-clock fields as if they were UTC, then let mktime find the zone's offset.
  time_t asUtc = time_t((ticks - kUnixEpochTicks) / kTicksPerSecond);
  tm fields{};
  if (gmtime_r(&asUtc, &fields) == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  fields.tm_isdst = -1;
  time_t seconds = mktime(&fields);
  int64_t shifted = ticks + (int64_t(seconds) - int64_t(asUtc)) * kTicksPerSecond;
  if ((seconds == time_t(-1) && asUtc != time_t(-1)) || shifted < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  utc->dwLowDateTime = DWORD(uint64_t(shifted));
  utc->dwHighDateTime = DWORD(uint64_t(shifted) >> 32);
  return TRUE;
}

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
