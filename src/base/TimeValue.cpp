#include "base/TimeValue.h"

#include <ctime>

namespace {
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kEpochTicks = 116444736000000000LL;
constexpr int64_t kEpochSeconds = 11644473600LL;

// Days from 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's civil-days algorithm).
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// Calendar fields taken as a UTC time.
int64_t fieldsAsUtc(const std::tm &fields) {
  int64_t days = daysFromCivil(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday);
  return days * 86400 + fields.tm_hour * 3600 + fields.tm_min * 60 + fields.tm_sec;
}
}  // namespace

constexpr uint8_t TimeValue::kFileTimeFlags[3];

void TimeValue::fromFileTime(const FILETIME &fileTime) {
  int64_t ticks = int64_t(uint64_t(fileTime.dwHighDateTime) << 32 | fileTime.dwLowDateTime);
  m_seconds = (ticks - kEpochTicks) / kTicksPerSecond;
  for (int i = 0; i < 3; ++i) m_flags[i] = kFileTimeFlags[i];
}

FILETIME TimeValue::toFileTime() const {
  uint64_t ticks = uint64_t((m_seconds + kEpochSeconds) * kTicksPerSecond);
  return FILETIME{DWORD(ticks), DWORD(ticks >> 32)};
}

int64_t TimeValue::utcOffsetAt(int64_t seconds) {
  std::time_t moment = std::time_t(seconds);
  std::tm fields{};
#ifdef _WIN32
  // The Windows runtime keeps this result per thread.
  const std::tm *local = std::localtime(&moment);
  if (local == nullptr) return 0;
  fields = *local;
#else
  // Not localtime() or mktime(): the C library reads the zone file again on every such call,
  // several times for each file extracted.
  if (localtime_r(&moment, &fields) == nullptr) return 0;
#endif
  return fieldsAsUtc(fields) - seconds;
}

int64_t TimeValue::utcOffsetNow() { return utcOffsetAt(int64_t(std::time(nullptr))); }

void TimeValue::applyLocalOffsetCorrection() { m_seconds += utcOffsetNow() - utcOffsetAt(m_seconds); }

FILETIME TimeValue::localOffsetCorrected(const FILETIME &fileTime) {
  int64_t ticks = int64_t(uint64_t(fileTime.dwHighDateTime) << 32 | fileTime.dwLowDateTime);
  int64_t seconds = (ticks - kEpochTicks) / kTicksPerSecond;
  ticks += (utcOffsetNow() - utcOffsetAt(seconds)) * kTicksPerSecond;
  return FILETIME{DWORD(uint64_t(ticks)), DWORD(uint64_t(ticks) >> 32)};
}
