#include "archive/BufferedOutput.h"

#include <cstring>

#include "base/DataBuffer.h"

BufferedOutput::BufferedOutput(Output &target, DataBuffer &buffer, uint32_t capacity)
    : m_target(target), m_buffer(buffer), m_capacity(capacity) {
  m_buffer.clear();
}

bool BufferedOutput::rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *monitor, LogBase &log) {
  while (length > 0) {
    if (m_buffer.getSize() == m_capacity && !flush(monitor, log)) return false;
    uint32_t room = m_capacity - m_buffer.getSize();
    uint32_t part = length < room ? length : room;
    std::memcpy(m_buffer.getData() + m_buffer.getSize(), data, part);
    m_buffer.setSize(m_buffer.getSize() + part);
    data += part;
    length -= part;
  }
  return true;
}

bool BufferedOutput::flush(ProgressMonitor *monitor, LogBase &log) {
  if (m_targetFailed) return false;
  bool ok = m_target.write(m_buffer.getData(), m_buffer.getSize(), monitor, log);
  m_buffer.clear();
  m_targetFailed = !ok;
  return ok;
}
