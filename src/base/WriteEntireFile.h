#pragma once

#include <cstdint>

#include "base/LogBase.h"
#include "base/XString.h"

// Replaces the file's content with the bytes (an existing file is truncated; no bytes leave it
// empty). True only when every byte was written.
bool writeEntireFile(const XString &path, const void *data, uint64_t count, LogBase &log);
bool writeEntireFile(const char *utf8Path, const void *data, uint64_t count, LogBase &log);
