#include "archive/DeferredLog.h"

#include <cstring>

bool DeferredLog::record(Kind kind, const char *first, const char *second) {
  const uint8_t k = kind;
  const uint32_t before = m_records.getSize();
  if (m_records.append(&k, 1) && m_records.append(first, uint32_t(std::strlen(first)) + 1) &&
      m_records.append(second, uint32_t(std::strlen(second)) + 1)) {
    return true;
  }
  // Only whole records stay: a partial one would be read past its end.
  m_records.setSize(before);
  m_lost = true;
  return false;
}

void DeferredLog::passOn(LogBase &target) {
  if (m_lost) target.logError("Memory allocation failed: some messages of this file were lost.");
  m_lost = false;
  const char *p = reinterpret_cast<const char *>(m_records.getData());
  const char *end = p + m_records.getSize();
  while (p < end) {
    const uint8_t kind = uint8_t(*p++);
    const char *first = p;
    p += std::strlen(p) + 1;
    const char *second = p;
    p += std::strlen(p) + 1;
    switch (kind) {
      case kError: target.logError(first); break;
      case kInfo: target.logInfo(first); break;
      case kText: target.logText(first); break;
      case kEnter: target.enterContext(first, true); break;
      case kLeave: target.leaveContext(); break;
      case kData: target.logData(first, second); break;
    }
  }
  m_records.clear();
}
