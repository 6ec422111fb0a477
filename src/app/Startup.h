#pragma once

#include "platform/win32.h"

// The program's WinMain: the entry points of both builds hand it the command line without the
// program name, as UTF-8. Returns the process exit code.
int SfxWinMain(HINSTANCE instance, HINSTANCE previous, const char *commandLine, int show);

// Non-zero on success; `noMessageLoop` is set when the run is already over.
BOOL InitInstance(HINSTANCE instance, int show, const char *commandLine, bool &noMessageLoop);
// Reaches the payload appended to the program and loads its settings. A failure is recorded
// and shown once the command line was applied; the run then goes on with the default settings.
bool GetSettings();

// The hidden main window's procedure. The window owns message boxes and dialogs and carries the
// run thread's requests to the window thread. Nobody sees it to be asked: a close or the end of
// the session while entries are being extracted cancels at once.
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
