#pragma once

#include "base/XString.h"

// Questions about paths that Windows answers, and the joins built on them. Each takes a private
// copy of the path with "/" turned into "\"; the results are cleared on entry. The wide calls are
// used, the ANSI ones on Windows version 4.

// The input unchanged when Windows cannot make it full.
void getFullPath(const XString &path, XString &out);
// The final component of the full path.
void getFileNamePart(const XString &path, XString &out);
void getCurrentDir(XString &out);
// With its trailing backslash, as Windows gives it; empty when Windows gives none.
void getTempDir(XString &out);
void getExePath(XString &out);
bool setCurrentDir(const XString &path);

// The full path with the "\\?\" prefix ("\\?\UNC\server\share\..." for a UNC path); a path that
// already has the prefix is returned as it is.
void makeLongPath(const XString &path, XString &out);
// dir + "\" + the final component of path; just that component when dir is blank.
void joinDirFileName(const XString &dir, const XString &path, XString &out);
// dir + "\" + path without its root (long prefix, drive or UNC share); path when dir is blank.
void joinDirPath(const XString &dir, const XString &path, XString &out);
