#pragma once

// Marks a region that would be locked in a threaded program. Everything here runs on the one
// user-interface thread, so entering and leaving do nothing.
class QuorvelCritSec {
 public:
  void enterCriticalSection() {}
  void leaveCriticalSection() {}
};

class CritSecExitor {
 public:
  explicit CritSecExitor(QuorvelCritSec &section) : m_section(section) { m_section.enterCriticalSection(); }
  ~CritSecExitor() { m_section.leaveCriticalSection(); }
  CritSecExitor(const CritSecExitor &) = delete;
  CritSecExitor &operator=(const CritSecExitor &) = delete;

 private:
  QuorvelCritSec &m_section;
};
