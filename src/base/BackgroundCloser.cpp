#include "base/BackgroundCloser.h"

#include "base/LogBase.h"
#include "base/QuorvelHandle.h"
#include "base/ThreadStart.h"

// Without a thread usable() says so and the caller closes its files itself.
BackgroundCloser::BackgroundCloser() { startThread(m_thread, [this] { run(); }); }

BackgroundCloser::~BackgroundCloser() {
  {
    MutexLock hold(m_lock);
    m_stopping = true;
  }
  m_work.notify_one();
  if (m_thread.joinable()) m_thread.join();
}

bool BackgroundCloser::idle() {
  MutexLock hold(m_lock);
  return m_waiting.empty() && !m_closing;
}

void BackgroundCloser::hand(QuorvelHandle &handle, const char *name) {
  MutexLock hold(m_lock);
  while (m_waiting.size() >= kMaxWaiting) m_progress.wait(hold);
  m_waiting.push_back(Waiting{handle.osHandle(), name});
  handle.forget();
  hold.unlock();
  m_work.notify_one();
}

bool BackgroundCloser::finish(LogBase &log) {
  std::vector<Failure> failures;
  {
    MutexLock hold(m_lock);
    while (!m_waiting.empty() || m_closing) m_progress.wait(hold);
    failures.swap(m_failures);
  }
  for (const Failure &failure : failures) {
    log.logError("Failed to close file.");
    log.logData("filename", failure.name.c_str());
    log.logWindowsError(failure.error);
  }
  return failures.empty();
}

void BackgroundCloser::run() {
  MutexLock hold(m_lock);
  for (;;) {
    while (!m_stopping && m_waiting.empty()) m_work.wait(hold);
    // Whatever is still waiting is closed before the thread ends.
    if (m_waiting.empty()) return;
    Waiting next = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_closing = true;
    hold.unlock();
    const bool closed = CloseHandle(next.handle) != FALSE;
    const DWORD error = closed ? 0 : GetLastError();
    hold.lock();
    if (!closed) m_failures.push_back(Failure{std::move(next.name), error});
    m_closing = false;
    m_progress.notify_all();
  }
}
