#include "compress/ProgressMonitor.h"

#include "platform/win32.h"

uint32_t ProgressMonitor::percentOf(int64_t done, int64_t total) {
  if (total <= 0) return 100;
  while (total > 1000000) {
    total /= 10;
    done /= 10;
  }
  return uint32_t(done * 100 / total);
}

void ProgressMonitor::start(int64_t total) {
  m_total = total < 0 ? 0 : total;
  m_done = 0;
  m_lastPercent = 0;
  m_aborted = false;
}

void ProgressMonitor::askAbort(uint32_t now) {
  m_lastCallbackTick = now;
  m_lastHeartbeatTick = now;
  bool abort = false;
  m_callback->abortCheck(abort);
  if (abort) m_aborted = true;
}

bool ProgressMonitor::abortCheck() {
  if (m_aborted) return true;
  if (m_heartbeatMs == 0 || m_callback == nullptr) return m_aborted;
  uint32_t now = GetTickCount();
  if (now < m_lastHeartbeatTick) {
    // The tick counter wrapped: start timing afresh.
    m_lastHeartbeatTick = now;
  } else if (now - m_lastHeartbeatTick >= m_heartbeatMs) {
    askAbort(now);
  }
  return m_aborted;
}

bool ProgressMonitor::reportPercent(uint32_t percent) {
  if (m_withhold100 && percent == 100) return false;
  m_lastPercent = percent;
  bool abort = false;
  m_callback->percentDone(percent, abort);
  if (abort) m_aborted = true;
  return abort;
}

bool ProgressMonitor::consume(int64_t amount) {
  if (amount < 0) amount = 0;
  uint32_t before = percentOf(m_done, m_total);
  if (!m_percentOff) m_done = amount > m_total - m_done ? m_total : m_done + amount;
  uint32_t after = m_percentOff ? 0 : percentOf(m_done, m_total);
  if (m_callback == nullptr) return m_aborted;
  if (!m_percentOff && after > before && after > m_lastPercent) {
    m_lastCallbackTick = GetTickCount();
    if (reportPercent(after)) return true;
  } else if (!m_insideFinish && m_heartbeatMs != 0) {
    uint32_t now = GetTickCount();
    if (now - m_lastCallbackTick > m_heartbeatMs) askAbort(now);
  }
  return m_aborted;
}

void ProgressMonitor::setDone(int64_t amount, bool &abort) {
  if (amount < 0) amount = 0;
  uint32_t before = percentOf(m_done, m_total);
  m_done = amount < m_total ? amount : m_total;
  uint32_t after = percentOf(m_done, m_total);
  if (m_callback != nullptr && !m_percentOff && after > before && after > m_lastPercent) {
    m_lastCallbackTick = GetTickCount();
    reportPercent(after);
  }
  abort = m_aborted;
}

void ProgressMonitor::finish() {
  if (m_done < m_total) {
    m_insideFinish = true;
    consume(m_total - m_done);
    m_insideFinish = false;
  }
  if (m_withhold100 && m_callback != nullptr) {
    m_lastCallbackTick = GetTickCount();
    bool abort = false;
    m_callback->percentDone(100, abort);
    if (abort) m_aborted = true;
  }
}
