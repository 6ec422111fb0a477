// UTC to local FILETIME through the C runtime's time-zone rules.
#include <time.h>

#include "platform/win32.h"

namespace {
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;
}  // namespace

BOOL FileTimeToLocalFileTime(const FILETIME *utc, FILETIME *local) {
  if (utc == nullptr || local == nullptr) {
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
