#pragma once

#include "base/LogBase.h"
#include "base/XString.h"

class ExtPtrArray;
class StringBuffer;

// Directory creation and removal. The created list, when given, receives one StringBuffer per
// directory these operations create: its path (with backslashes) followed by the letter "D",
// the top-most first, so that undoing walks the list from its end.

bool createDirectory(const XString &path, LogBase &log);
// True when the directory exists afterwards; created tells whether this call made it. A null or
// empty path and "." count as existing.
bool createDirIfMissing(const char *utf8Path, bool &created, LogBase &log);
// Creates the directory and every missing one above it, from the root down.
bool ensureDirExists(const char *utf8Path, ExtPtrArray *createdList, LogBase &log);
// The directory part of a file path as ensureParentDir makes it, backslashed; false for a path
// without one (dirPart then holds the whole path, trimmed).
bool parentDirOf(const char *utf8FilePath, StringBuffer &dirPart);
// Creates the directory part of a file path (put into dirPart); a path without one succeeds.
bool ensureParentDir(const char *utf8FilePath, StringBuffer &dirPart, ExtPtrArray *createdList, LogBase &log);
// Either separator; long paths are fine.
bool removeDirectory(const XString &path, LogBase &log);
