#pragma once

#include <cstdint>

#include "base/LogBase.h"
#include "base/XString.h"

// Attributes and existence by path. Paths of 260 characters and more, and paths the ANSI code
// page cannot hold, go to the wide calls in their "\\?\" form.

// attributes is all ones and windowsError 0 until Windows answers; false with Windows' error
// when it cannot read them.
bool GetAttributes(const XString &path, uint32_t &attributes, uint32_t &windowsError, LogBase &log);
// The path is sanitised (device names included) before Windows sees it.
bool setAttributes(const XString &path, uint32_t attributes);
// Only "not found" (Windows errors 2, 3 and 21) means absent: a path whose attributes cannot be
// read for any other reason (access denied, sharing violation) exists.
bool fileExists(const XString &path, LogBase &log);
bool fileExists(const char *utf8Path, LogBase &log);
