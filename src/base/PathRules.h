#pragma once

#include "base/LogBase.h"
#include "base/XString.h"

// Text rules for Windows paths. Only the device-name rule asks Windows anything (the path's
// final component).

// Drops a "\\?\" or "\\?\UNC\" prefix, then a UNC server and share, a drive ("X:") or leading
// backslashes, with the backslashes that follow them. "/" counts as "\".
void stripPathRoot(XString &path);

// Rewrites what Windows does not allow in file names: colons other than a drive's, "|", "?"
// (except the one of a "\\?\" prefix), "*", "<", ">" and double quotes become "_", CR and LF are
// removed, and with withDeviceNames a final component that starts with a device name and a dot
// ("con.txt", "lpt1.log") gets a "_" in front. Each rewrite is written to the log as information.
void sanitizeWindowsPath(XString &path, bool withDeviceNames, LogBase &log);
