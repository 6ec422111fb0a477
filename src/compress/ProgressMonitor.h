#pragma once

#include <cstdint>

// What an application plugs into a ProgressMonitor: percentage reports and periodic questions
// whether to abort. Answering abort sets the flag; the base never aborts.
class ProgressCallback {
 public:
  virtual ~ProgressCallback() = default;
  virtual void percentDone(uint32_t percent, bool &abort) {
    (void)percent;
    abort = false;
  }
  virtual void abortCheck(bool &abort) { abort = false; }
};

// Optional monitor handed down every read and write, so that an application can follow a long
// operation in percent and stop it. Once aborted it stays aborted: every later check says so.
class ProgressMonitor {
 public:
  explicit ProgressMonitor(ProgressCallback *callback = nullptr) : m_callback(callback) {}

  // Percentage of `done` in `total`; both are scaled down first so the product cannot overflow.
  static uint32_t percentOf(int64_t done, int64_t total);

  void start(int64_t total);
  bool abortCheck();
  // Adds `amount` to the work done; true when the operation is to abort.
  bool consume(int64_t amount);
  void setDone(int64_t amount, bool &abort);
  void finish();
  bool aborted() const { return m_aborted; }

  void setHeartbeatMs(uint32_t interval) { m_heartbeatMs = interval; }
  void setPercentOff(bool off) { m_percentOff = off; }
  void setWithhold100(bool withhold) { m_withhold100 = withhold; }
  int64_t total() const { return m_total; }
  int64_t done() const { return m_done; }
  uint32_t lastPercent() const { return m_lastPercent; }

 private:
  // Reports `percent` unless it is a withheld 100; true when the callback asked to abort.
  bool reportPercent(uint32_t percent);
  void askAbort(uint32_t now);

  ProgressCallback *m_callback;
  int64_t m_total = 0;
  int64_t m_done = 0;
  uint32_t m_lastPercent = 0;
  uint32_t m_heartbeatMs = 0;
  uint32_t m_lastCallbackTick = 0;
  uint32_t m_lastHeartbeatTick = 0;
  bool m_percentOff = false;
  bool m_withhold100 = false;
  bool m_insideFinish = false;
  bool m_aborted = false;
};
