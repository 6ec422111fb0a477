#pragma once

#include <atomic>

#include "platform/win32.h"

// The window thread owns every window; a run's work happens on a thread of its own, which asks
// the window thread for whatever must be shown and waits for the answer, so the person sees the
// same boxes in the same order while every window keeps answering.
//
// Sharing: one request at a time passes from the run thread to the window thread under a lock
// (the run thread waits until it has been carried out, posting again every 100 ms, and the
// window thread also looks for it by itself); the cancel, session and extracting flags
// are atomics the window thread sets and the run thread reads. Which run is under way is known
// to the window thread only.

// Posted to the hidden main window, whose procedure hands it to serviceRunRequest().
constexpr UINT kRunRequestMessage = WM_APP + 1;

// Window thread: runs body(context) on the run thread and keeps this thread's messages flowing
// until it returns; a quit request that arrives meanwhile is held back and posted again after.
// `dialog` (or null) gets its keyboard handling as in its own modal loop. One run at a time:
// while one is under way a second is refused (false at once).
bool runOnRunThread(bool (*body)(void *), void *context, HWND dialog);
// Window thread: whether a run is under way.
bool runActive();
// Window thread: keeps this thread's messages flowing until the run under way (if any) has
// returned. False at once when this thread is carrying out a request of that run (a dialog of
// the run is open further down its stack, and the run waits for it).
bool waitForRunEnd();

// Any thread: carries out work(context) on the window thread and returns when it is done.
void onWindowThreadRaw(void (*work)(void *), void *context);
template <typename F>
void onWindowThread(F &&work) {
  onWindowThreadRaw([](void *f) { (*static_cast<F *>(f))(); }, &work);
}

// Window thread, from the hidden window's procedure.
void serviceRunRequest();

// A request to stop the run: read by the extraction's abort check, the password prompt and the
// setup wait, so that the run ends at its next step.
void requestCancel();
// The session ends (log-off, shutdown): no message box is shown any more.
void setSessionEnding();
bool sessionEnding();
bool cancelRequested();
// Window thread: while the person is asked whether to cancel, the extraction waits, so that the
// answer comes before the run is over and No goes on from where it stopped. False, holding
// nothing, when no extraction is under way (or it has just finished): then there is nothing to ask.
bool holdExtraction();
void releaseExtraction();
// Run thread, the extraction's abort check: waits while held; true once cancelled.
bool extractionShouldStop();
// Set by the run while its entries are being extracted: only then does closing ask to cancel.
void setExtracting(bool extracting);
bool isExtracting();
// Run thread, once its entries are written: waits for a question still being asked, ends the
// extracting state and says whether the run was cancelled. A Yes given while the last bytes went
// out still cancels: nothing has told the person yet that the extraction is complete.
bool finishExtracting();
// Starting a run forgets the answer of the one before.
void resetCancel();
