#pragma once

#include "base/LogBase.h"
#include "base/XString.h"

// True when the file is gone afterwards, including when it did not exist.
bool deleteFile(const XString &path, LogBase &log);
bool deleteFile(const char *utf8Path, LogBase &log);
