#pragma once

#include <cstdint>

#include "base/LogBase.h"
#include "base/QuorvelHandle.h"
#include "base/XString.h"

class TimeValue;

// Why an open failed, for callers that word their own message.
enum OpenErrorKind : int {
  kOpenNoError = 0,
  kOpenAccessDenied = 1,  // Windows error 5
  kOpenPathNotFound = 2,  // Windows error 3
  kOpenOtherError = 3,
};

// The opens return a new handle the caller deletes, or null with the reason in the log and in
// errorKind (which stays 0 on success). Paths are sanitised first (device names only when the
// open writes); paths of 260 characters and more, or that the ANSI code page cannot hold, go to
// CreateFileW in their "\\?\" form. A write open of a read-only file clears that attribute and
// tries once more.
QuorvelHandle *openForReadWin32(const XString &path, int &errorKind, LogBase &log);
// Creates or truncates, unshared.
QuorvelHandle *openForWriteWin32(const XString &path, int &errorKind, LogBase &log);
QuorvelHandle *openForWriteHiddenWin32(const XString &path, int &errorKind, LogBase &log);
// Opens or creates without truncating; shared for reading and writing unless exclusive.
QuorvelHandle *openForReadWriteWin32(const XString &path, bool exclusive, int &errorKind, LogBase &log);
// An existing file or directory, opened only to set its times; no sanitising.
QuorvelHandle *openForTimesWin32(const XString &path, int &errorKind, LogBase &log);

// The same opens into a handle the caller has: on success it closes what it held and takes the
// new file.
bool openHandleForWrite(QuorvelHandle &handle, const XString &path, int &errorKind, LogBase &log);
bool openHandleForWriteHidden(QuorvelHandle &handle, const XString &path, int &errorKind, LogBase &log);
bool openHandleForReadWrite(QuorvelHandle &handle, const XString &path, bool exclusive, int &errorKind,
                            LogBase &log);
bool openHandleForTimes(QuorvelHandle &handle, const XString &path, int &errorKind, LogBase &log);

// Sets creation, last-access and last-write time of a file or directory (see
// QuorvelHandle::setFileTimes).
bool setFileTimesByPath(const XString &path, const TimeValue &time, LogBase &log);

// CreateFileA / CreateFileW with "/" turned into "\". A sharing violation is retried three times,
// 50 ms apart; the ANSI form also lets others write from the first retry on when it asked them
// only to read. windowsError is the last call's error.
QuorvelHandle *createFileAnsi(const XString &path, uint32_t access, uint32_t shareMode, uint32_t disposition,
                              uint32_t flagsAndAttributes, uint32_t &windowsError, LogBase &log);
QuorvelHandle *createFileWide(const XString &path, uint32_t access, uint32_t shareMode, uint32_t disposition,
                              uint32_t flagsAndAttributes, uint32_t &windowsError, LogBase &log);
