#include "app/EndRequests.h"

#include "app/AppState.h"

#include "app/ExitCode.h"
#include "app/RunLog.h"
#include "app/RunThread.h"

namespace {
// Window thread only.
bool s_closeRequested = false;
}  // namespace

bool closeRequested() { return s_closeRequested; }

void answerClose() {
  runLogWrite("Asked to close...\r\n");
  s_closeRequested = true;
  if (runActive()) {
    recordFailure(RunFailure::Cancelled);
    requestCancel();
  }
  // An extraction ends its dialog and the program by itself once it has taken back its files.
  if (isExtracting()) return;
  // Ends every modal loop, the run's dialogs included; a run under way holds it back until it
  // has returned.
  PostQuitMessage(0);
}

void answerSessionEnd(HWND hiddenWindow) {
  runLogWrite("The session ends...\r\n");
  setSessionEnding();
  if (!runActive()) return;
  recordFailure(RunFailure::Cancelled);
  requestCancel();
  // A dialog of the run is open below this call: the run waits for it and has nothing written
  // that is not complete.
  ShutdownBlockReasonCreate(hiddenWindow, wide(u"Restoring the folder the extraction was writing to"));
  waitForRunEnd();
  ShutdownBlockReasonDestroy(hiddenWindow);
}
