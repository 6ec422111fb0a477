#pragma once

#include "base/LogBase.h"
#include "base/XString.h"

// True when the file is gone afterwards, including when it did not exist.
bool deleteFile(const XString &path, LogBase &log);
bool deleteFile(const char *utf8Path, LogBase &log);
// The same for a file that may be read-only, as an extracted or restored file can be: the
// attribute is cleared first when it stands in the way. Windows' error stays the last error.
bool deleteEvenReadOnly(const XString &path, LogBase &log);
