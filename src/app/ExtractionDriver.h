#pragma once

#include "platform/win32.h"

class StringBuffer;
class UndoList;

// One extraction run, owned by a window (the hidden main window or a dialog, which the run may
// end): password, unzip directory, current directory, every entry, the setup stage, and the
// undo lists. True when every entry was extracted. Called on the window thread, which keeps
// answering messages while the run goes on on a thread of its own. A cancelled run takes back
// what it wrote, ends the owner dialog and the run, and sets the exit code 1223.
bool DoUnzip(HWND owner);

// Asks until the reader accepts the password; false when the person gave up (or no password
// dialog could be shown).
bool CheckPassword(HWND owner);
// A fresh directory under the temporary directory, created unless this is a dry run.
bool SelectTempUnzipDir(HWND owner, UndoList &topDirs, StringBuffer &dir);
// The temporary directory, "qvz_" and four random characters; nothing is created.
void MakeTempDirName(StringBuffer &dir);
// Records every file and directory it creates or replaces in `entryList`, whether or not cleanup
// is in force: a cancelled or failed run takes them back; otherwise the caller keeps them when
// there is no cleanup.
// The extraction stops soon after cancelRequested() turns true.
bool UnzipToFile(HWND owner, const StringBuffer &unzipDir, StringBuffer &errorText, UndoList &entryList);
// Takes back what the list records, last entry first (earlier copies of replaced files come
// back), and empties it. With `retryHeld`, a file or folder that is only held for a moment is
// tried again (see CleanupRetry.h). What cannot be removed goes to the run log, verbose or not.
void ProcessUndoList(UndoList &undoList, bool retryHeld = false);
// The run keeps what it extracted: the earlier copies of the files it replaced are deleted.
void KeepUndoList(UndoList &undoList);
