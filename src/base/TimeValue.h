#pragma once

#include <cstdint>

#include "platform/win32.h"

// Whole seconds since 1970-01-01 00:00:00 UTC, the time type with which file times are set. The
// three flag bytes travel unchanged through every conversion; a value made from a FILETIME
// carries 1, 1, 0.
class TimeValue {
 public:
  static constexpr uint8_t kFileTimeFlags[3] = {1, 1, 0};

  void fromFileTime(const FILETIME &fileTime);
  FILETIME toFileTime() const;
  // A time converted from local time with today's UTC offset (as LocalFileTimeToFileTime does)
  // is moved to the offset in force at its own moment, so that a July time stamp extracted in
  // December keeps its wall clock instead of moving by an hour.
  void applyLocalOffsetCorrection();
  // The same correction on a FILETIME, keeping its fraction of a second.
  static FILETIME localOffsetCorrected(const FILETIME &fileTime);

  int64_t seconds() const { return m_seconds; }
  void setSeconds(int64_t seconds) { m_seconds = seconds; }
  const uint8_t *flags() const { return m_flags; }

  // Seconds east of Greenwich in force at `seconds` (local fields read as UTC minus the moment).
  static int64_t utcOffsetAt(int64_t seconds);
  // The same for the present moment.
  static int64_t utcOffsetNow();

 private:
  int64_t m_seconds = 0;
  uint8_t m_flags[3] = {0, 0, 0};
};
