#include "compress/OutputDataBuffer.h"

#include <cstdlib>
#include <cstring>

#include "base/DataBuffer.h"

OutputDataBuffer::OutputDataBuffer(DataBuffer *target)
    : m_target(target), m_writePosition(target ? target->getSize() : 0) {}

bool OutputDataBuffer::rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *, LogBase &log) {
  if (data == nullptr || length == 0) return true;
  if (m_failed || m_target == nullptr) return false;
  uint64_t needed = uint64_t(m_writePosition) + length + 8;
  uint64_t wanted = needed + needed / 2;
  if (m_target->getCapacity() < needed && (wanted > 0xFFFFFFFFu || !m_target->reserve(uint32_t(wanted)))) {
    log.logError("Failed to allocate memory for output data buffer.");
    log.logDataInt64("ensureSz0", int64_t(needed));
    log.logDataInt64("ensureSz", int64_t(wanted));
    log.logDataInt64("m_idx", m_writePosition);
    log.logDataInt64("size", length);
    m_failed = true;
    return false;
  }
  uint32_t size = m_target->getSize();
  if (m_writePosition <= size) {
    // Overwrite in place; the capacity reserved above already covers a run past the end.
    std::memcpy(m_target->getData() + m_writePosition, data, length);
  } else {
    uint32_t gap = m_writePosition - size;
    uint8_t *zeros = static_cast<uint8_t *>(std::calloc(gap, 1));
    bool ok = zeros != nullptr && m_target->append(zeros, gap) && m_target->append(data, length);
    std::free(zeros);
    if (!ok) {
      m_failed = true;
      return false;
    }
  }
  m_writePosition += length;
  if (m_target->getSize() < m_writePosition) m_target->setSize(m_writePosition);
  return true;
}

bool OutputDataBuffer::moveToEnd(LogBase &) {
  if (m_target == nullptr) return false;
  m_writePosition = m_target->getSize();
  return true;
}

bool OutputDataBuffer::seek(uint64_t position, LogBase &) {
  if (m_failed || position > 0xFFFFFFFFu || m_target == nullptr) return false;
  m_writePosition = uint32_t(position);
  if (m_writePosition >= m_target->getSize() && position + 1 <= 0xFFFFFFFFu) {
    m_target->reserve(uint32_t(position + 1));
  }
  return true;
}

int64_t OutputDataBuffer::position() { return m_target ? m_writePosition : 0; }

bool OutputDataBuffer::reset(LogBase &) {
  m_writePosition = 0;
  if (m_target) m_target->clear();
  return true;
}
