#pragma once

#include <cstdio>

#include "base/StringBuffer.h"
#include "platform/win32.h"

class SfxConfig;
class SimpleArchive;

// What lives for the whole run. The objects are built before the entry point runs, in the order
// listed, and torn down after it returns.
extern StringBuffer g_password;  // system code page: given to the reader as it is
extern SfxConfig &g_config;
extern SimpleArchive &g_archive;
extern StringBuffer g_runLogPath;

extern FILE *g_runLog;
extern HINSTANCE g_instance;
extern WCHAR g_windowTitle[100];
extern WCHAR g_windowClass[100];
extern int g_exitCode;
// Where the payload lies in the program's file: its marker's offset and the end of the file.
extern int64_t g_payloadStart;
extern int64_t g_payloadEnd;
extern HWND g_hiddenWindow;  // owns the hidden-window procedure; set before any run
extern HWND g_mainDialog;
extern HWND g_progressDialog;
extern bool g_passwordCancelled;
extern bool g_launchedWithoutWait;
extern bool g_progressStarted;
extern bool g_helpRequested;  // "-help" or "-?": the run only shows the options

// The control id of the progress bar that the main and progress dialogs share, which the
// extraction reaches on its owner.
constexpr int kProgressBarId = 1008;

// The process exit code of a run the person cancelled (ERROR_CANCELLED).
constexpr int kExitCancelled = 1223;

// UTF-16 text for the wide calls, whose character type differs between the builds.
inline LPCWSTR wide(const char16_t *text) { return reinterpret_cast<LPCWSTR>(text); }
