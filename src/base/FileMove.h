#pragma once

#include "base/LogBase.h"
#include "base/XString.h"

// Renames a file within its folder's volume; contents, times and attributes (the read-only bit
// included) go with it. An existing target is replaced only when asked for. False with Windows'
// error as the last error (and in the log).
bool moveFile(const XString &from, const XString &to, bool replaceExisting, LogBase &log);
