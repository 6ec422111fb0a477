#include "app/RunThread.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "app/AppState.h"
#include "base/Mutex.h"
#include "base/ThreadStart.h"

namespace {

struct Request {
  void (*work)(void *) = nullptr;
  void *context = nullptr;
  bool done = false;  // guarded by the exchange's lock
};

// Allocated once and never destroyed: a run thread may still wait on it while the process
// exits from the window thread (AutoExit).
struct Exchange {
  Mutex lock;
  ConditionVariable answered;
  Request *pending GUARDED_BY(lock) = nullptr;
  // Written by the window thread before it starts a run thread.
  std::thread::id windowThread;
};
Exchange &exchange() {
  static Exchange *e = new Exchange;
  return *e;
}

std::atomic<bool> s_cancel{false};
std::atomic<bool> s_extracting{false};
std::atomic<bool> s_sessionEnding{false};

// How often a waiting thread looks again without being woken: a post that was lost (a full
// queue) delays the answer by this much instead of for ever.
constexpr DWORD kRecheckMs = 100;

struct Hold {
  Mutex lock;
  ConditionVariable released;
  bool held GUARDED_BY(lock) = false;
};
Hold &hold() {
  static Hold *h = new Hold;
  return *h;
}

struct RunState {
  bool (*body)(void *);
  void *context;
  bool result = false;
  std::atomic<bool> finished{false};
};

// Window thread only: the run under way, and whether the window thread is carrying out one of
// its requests (a dialog of the run may be open further down this thread's stack).
RunState *s_activeRun = nullptr;
bool s_servicing = false;

void pumpUntilFinished(const RunState &run, HWND dialog) {
  bool quit = false;
  WPARAM quitCode = 0;
  while (!run.finished.load()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kRecheckMs, QS_ALLINPUT);
    // A request whose post was lost is carried out all the same.
    serviceRunRequest();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quitCode = msg.wParam;
        continue;
      }
      if (dialog != nullptr && IsDialogMessageA(dialog, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (quit) PostQuitMessage(int(quitCode));
}

}  // namespace

bool runOnRunThread(bool (*body)(void *), void *context, HWND dialog) {
  // A second Unzip, or a queued Enter, while a run is under way.
  if (s_activeRun != nullptr) return false;
  exchange().windowThread = std::this_thread::get_id();
  RunState run;
  run.body = body;
  run.context = context;
  s_activeRun = &run;
  std::thread worker;
  const bool started = startThread(worker, [&run] {
    run.result = run.body(run.context);
    run.finished.store(true);
    // Wakes the window thread's wait at once; without it the wait ends at its next look.
    PostMessageA(g_hiddenWindow, kRunRequestMessage, 0, 0);
  });
  if (started) {
    pumpUntilFinished(run, dialog);
    worker.join();
  } else {
    // No thread to be had: the run goes on here, its requests to the window thread carried out
    // at once, and the windows answer again when it ends.
    run.result = run.body(run.context);
  }
  s_activeRun = nullptr;
  return run.result;
}

bool runActive() { return s_activeRun != nullptr; }

bool waitForRunEnd() {
  if (s_activeRun == nullptr) return true;
  if (s_servicing) return false;
  pumpUntilFinished(*s_activeRun, nullptr);
  return true;
}

void onWindowThreadRaw(void (*work)(void *), void *context) {
  Exchange &e = exchange();
  if (std::this_thread::get_id() == e.windowThread || e.windowThread == std::thread::id()) {
    work(context);
    return;
  }
  Request request;
  request.work = work;
  request.context = context;
  MutexLock hold(e.lock);
  e.pending = &request;
  // A post that fails (a full queue) is tried again; the window thread also looks by itself.
  while (!request.done) {
    if (e.pending == &request) PostMessageA(g_hiddenWindow, kRunRequestMessage, 0, 0);
    e.answered.wait_for(hold, std::chrono::milliseconds(kRecheckMs));
  }
}

void serviceRunRequest() {
  Exchange &e = exchange();
  Request *request = nullptr;
  {
    MutexLock hold(e.lock);
    request = e.pending;
    e.pending = nullptr;
  }
  // Carried out without the lock: it may open a dialog whose loop services nothing else of
  // this run, as the run thread waits for this very request.
  if (request == nullptr) return;
  bool outer = s_servicing;
  s_servicing = true;
  request->work(request->context);
  s_servicing = outer;
  MutexLock hold(e.lock);
  request->done = true;
  e.answered.notify_all();
}

void requestCancel() { s_cancel.store(true); }
void setSessionEnding() { s_sessionEnding.store(true); }
bool sessionEnding() { return s_sessionEnding.load(); }

bool holdExtraction() {
  Hold &h = hold();
  MutexLock guard(h.lock);
  if (!s_extracting.load()) return false;
  h.held = true;
  return true;
}

void releaseExtraction() {
  Hold &h = hold();
  MutexLock guard(h.lock);
  h.held = false;
  h.released.notify_all();
}

bool extractionShouldStop() {
  Hold &h = hold();
  MutexLock guard(h.lock);
  while (h.held) h.released.wait(guard);
  return s_cancel.load();
}
bool cancelRequested() { return s_cancel.load(); }
void setExtracting(bool extracting) { s_extracting.store(extracting); }
bool isExtracting() { return s_extracting.load(); }
void resetCancel() { s_cancel.store(false); }

bool finishExtracting() {
  Hold &h = hold();
  MutexLock guard(h.lock);
  while (h.held) h.released.wait(guard);
  s_extracting.store(false);
  return s_cancel.load();
}
