#pragma once

#include "platform/win32.h"

// What "-help" and "-?" show: the options, the exit codes and the settings that matter for an
// unattended run; a message box, or standard error in a silent run.
void showHelp(HWND owner);
