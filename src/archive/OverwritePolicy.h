#pragma once

// Whether an entry may replace a file that is already where it goes: an unattended run may be
// told to keep what an administrator put there. The archive asks this one question just before
// it opens an entry's file; everything else about writing is the archive's own.

#include "platform/win32.h"

class XString;

enum class OverwritePolicy {
  Always,  // replace every existing file (what runs always did)
  Never,   // keep every existing file
  Older,   // replace only a file last written before the entry's time
};

// "always", "never" or "older" in any letter case; false for anything else (policy unchanged).
bool parseOverwritePolicy(const char *text, OverwritePolicy &policy);

// `existing` is the file's attribute data, or null when nothing is there; `entryTime` is the
// entry's last-write time in UTC. A directory in the way is not this question's: the open that
// follows fails for it as it always did.
bool overwriteAllowed(OverwritePolicy policy, const WIN32_FILE_ATTRIBUTE_DATA *existing, const FILETIME &entryTime);

// The question for the file at `path` (relative to the current directory, as entries are).
bool mayReplaceExisting(OverwritePolicy policy, const XString &path, const FILETIME &entryTime);
