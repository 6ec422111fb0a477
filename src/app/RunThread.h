#pragma once

#include <atomic>

#include "platform/win32.h"

// The window thread owns every window; a run's work happens on a thread of its own, which asks
// the window thread for whatever must be shown and waits for the answer, so the person sees the
// same boxes in the same order while every window keeps answering.
//
// Sharing: one request at a time passes from the run thread to the window thread under a lock
// (the run thread waits until it has been carried out); the cancel and extracting flags are
// atomics the window thread sets and the run thread reads.

// Posted to the hidden main window, whose procedure hands it to serviceRunRequest().
constexpr UINT kRunRequestMessage = WM_APP + 1;

// Window thread: runs body(context) on the run thread and keeps this thread's messages flowing
// until it returns; a quit request that arrives meanwhile is held back and posted again after.
// `dialog` (or null) gets its keyboard handling as in its own modal loop.
bool runOnRunThread(bool (*body)(void *), void *context, HWND dialog);

// Any thread: carries out work(context) on the window thread and returns when it is done.
void onWindowThreadRaw(void (*work)(void *), void *context);
template <typename F>
void onWindowThread(F &&work) {
  onWindowThreadRaw([](void *f) { (*static_cast<F *>(f))(); }, &work);
}

// Window thread, from the hidden window's procedure.
void serviceRunRequest();

// A person's request to stop the extraction; read by the extraction's abort check.
void requestCancel();
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
