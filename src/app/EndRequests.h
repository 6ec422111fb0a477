#pragma once

#include "platform/win32.h"

// How the process answers being asked to end, at every stage of a run. Window thread, from the
// hidden window's procedure.

// WM_CLOSE: during the extraction it cancels (what was written is taken back); otherwise the
// run under way ends at its next step (a password prompt as if cancelled, a setup wait stops
// waiting, exit code 1223) and every dialog closes. The hidden window itself stays: the run
// thread's requests go to it until the process ends.
void answerClose();
// Whether answerClose() was called: a page the close ended counts as its own close (a license
// page as declined).
bool closeRequested();
// WM_ENDSESSION with the session really ending: Windows may end the process once this returns,
// so a run that has written files is cancelled and rolled back first, with the reason shown
// in the shutdown screen meanwhile. No message box is shown from here on.
void answerSessionEnd(HWND hiddenWindow);
