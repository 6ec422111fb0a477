#pragma once

#include "platform/win32.h"

class StringBuffer;
class UndoList;

// Whether this run may delete what it extracts: only when asked for, and only when the run
// will still be here after the setup program ended.
bool decideCleanup();

// After a successful extraction: starts the setup program (or the shell command), waits for it
// when asked, takes over its exit code, and processes the entry list. May end the process.
void runSetupStage(HWND owner, const StringBuffer &unzipDir, UndoList &entryList);

// Runs the command through the command interpreter named by ComSpec; false when it could not
// be started.
bool RunShellCommand(bool wait, const char *command);
