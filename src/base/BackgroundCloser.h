#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "base/Mutex.h"
#include "platform/win32.h"

class LogBase;
class QuorvelHandle;

// Closes written files on a thread of its own. On Windows a file's close is where antivirus
// scanners look at it, often for longer than writing it took; the next file is written
// meanwhile. Every file handed over is closed by the time finish() returns, and a close that
// failed is reported there, with the file's name.
//
// Sharing: the queue and the failures are guarded by `m_lock`; a handle belongs to the closing
// thread from hand() on. Only one thread (the run thread) hands files over and calls finish().
class BackgroundCloser {
 public:
  // At most this many files wait to be closed; hand() waits for room beyond it.
  static constexpr size_t kMaxWaiting = 64;

  BackgroundCloser();
  // Closes whatever is still waiting.
  ~BackgroundCloser();
  BackgroundCloser(const BackgroundCloser &) = delete;
  BackgroundCloser &operator=(const BackgroundCloser &) = delete;

  // False when its thread could not be started: then files are closed where they are written.
  bool usable() const { return m_thread.joinable(); }
  bool idle();
  // Takes the handle's file (the handle is left empty) to be closed on the closing thread.
  void hand(QuorvelHandle &handle, const char *name);
  // Waits until every file handed over is closed. Each failed close logs "Failed to close
  // file." with the file's name and the system's reason; false if any failed.
  bool finish(LogBase &log);

 private:
  struct Waiting {
    HANDLE handle;
    std::string name;
  };
  struct Failure {
    std::string name;
    DWORD error;
  };

  void run();

  Mutex m_lock;
  ConditionVariable m_work;
  ConditionVariable m_progress;
  std::deque<Waiting> m_waiting GUARDED_BY(m_lock);
  bool m_closing GUARDED_BY(m_lock) = false;
  bool m_stopping GUARDED_BY(m_lock) = false;
  std::vector<Failure> m_failures GUARDED_BY(m_lock);
  std::thread m_thread;
};
