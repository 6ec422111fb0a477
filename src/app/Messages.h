#pragma once

#include "platform/win32.h"

// Every message the run shows goes through here, so that a silent run can turn it into text.
// Without silence it is a message box owned by `owner`, shown on the window thread; in a silent run (`Silent` "1", or "-silent") it is a run-log line and a
// line on standard error, "caption: text", and nothing waits for anybody.
void showMessage(HWND owner, const char *utf8Text, const char *utf8Caption);

bool isSilentRun();
