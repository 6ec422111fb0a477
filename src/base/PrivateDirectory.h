#pragma once

#include "base/LogBase.h"
#include "base/XString.h"

// A directory that only the current user, SYSTEM and Administrators may enter, with that access
// list in place from its creation: nobody else can put a file into it between its creation and
// its use, even when it sits in a shared temporary folder. Fails (ERROR_ALREADY_EXISTS among
// the reasons, in GetLastError) when the path exists: a directory someone else made is never
// taken over. The log gets the data item "errorMsg" on failure.
bool createPrivateDirectory(const XString &path, LogBase &log);
