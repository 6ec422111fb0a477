#pragma once

#include "platform/win32.h"

class ExtPtrArray;
class StringBuffer;

// One extraction run, owned by a window (the hidden main window or a dialog, which the run may
// end): password, unzip directory, current directory, every entry, the setup stage, and the
// undo lists. True when every entry was extracted.
bool DoUnzip(HWND owner);

// Asks until the reader accepts the password; false when the person gave up (or no password
// dialog could be shown).
bool CheckPassword(HWND owner);
// A fresh directory under the temporary directory, created unless this is a dry run.
bool SelectTempUnzipDir(HWND owner, ExtPtrArray &topDirs, StringBuffer &dir);
// The temporary directory, "qvz_" and four random characters; nothing is created.
void MakeTempDirName(StringBuffer &dir);
bool UnzipToFile(HWND owner, const StringBuffer &unzipDir, StringBuffer &errorText, ExtPtrArray &entryList,
                 bool cleanup);
// Deletes what the list records, last entry first, and empties it.
void ProcessUndoList(ExtPtrArray &undoList);
