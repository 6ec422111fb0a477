#pragma once

#include <cstdio>

#include "base/StringBuffer.h"
#include "platform/win32.h"

class SfxConfig;
class SimpleArchive;

// What lives for the whole run. The objects are built before the entry point runs, in the order
// listed, and torn down after it returns.
//
// Two threads use them: the window thread (the entry point, its message loops and every window
// and dialog) and, while DoUnzip runs, the run thread (extraction and setup; see RunThread.h).
// The run thread starts after the window thread has written what it reads, and the window
// thread reads what the run wrote only after it has joined the run thread; in between, the run
// thread reaches the windows only through onWindowThread(), a request the window thread carries
// out while the run thread waits, so each handover below is ordered by that request.
// Window thread: the password dialog writes it while the run thread waits on that dialog's
// request; the run thread then hands it to the reader. "-pwd" sets it before any run.
extern StringBuffer g_password;  // system code page: given to the reader as it is
// Window thread until the run starts (settings, command line, main dialog); the run only reads it.
extern SfxConfig &g_config;
// Window thread while the settings are read; then the run thread's alone until it ends.
extern SimpleArchive &g_archive;
// Window thread, before any run.
extern StringBuffer g_runLogPath;

// Both threads write through it; the C runtime locks the stream for each call, and the lines
// keep the order the run's requests give them. Opened, reopened and closed on the window thread
// while no run is under way.
extern FILE *g_runLog;
// Window thread, before any run, as are the title and class.
extern HINSTANCE g_instance;
extern WCHAR g_windowTitle[100];
extern WCHAR g_windowClass[100];
// Written by the run thread (setup exit code) or by the window thread outside a run; read by
// the window thread once the run thread is joined.
extern int g_exitCode;
// Where the payload lies in the program's file: its marker's offset and the end of the file.
// Window thread, before any run.
extern int64_t g_payloadStart;
extern int64_t g_payloadEnd;
extern HWND g_hiddenWindow;  // owns the hidden-window procedure; set before any run
// Window thread: set when the dialog is created, before the run that reports to it starts.
extern HWND g_mainDialog;
extern HWND g_progressDialog;
// Window thread: the password dialog sets it while the run thread waits on its request.
extern bool g_passwordCancelled;
// Run thread (setup launched without waiting); read by the main dialog after the run ended.
extern bool g_launchedWithoutWait;
// Window thread only.
extern bool g_progressStarted;
extern bool g_helpRequested;  // "-help" or "-?": the run only shows the options

// The control id of the progress bar that the main and progress dialogs share, which the
// extraction reaches on its owner.
constexpr int kProgressBarId = 1008;

// The process exit code of a run the person cancelled (ERROR_CANCELLED).
constexpr int kExitCancelled = 1223;

// UTF-16 text for the wide calls, whose character type differs between the builds.
inline LPCWSTR wide(const char16_t *text) { return reinterpret_cast<LPCWSTR>(text); }
