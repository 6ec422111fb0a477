#include "archive/PayloadReader.h"

#include <cstring>

#include "compress/DataSource.h"

void PayloadReader::attach(DataSource *source) {
  m_source = source;
  m_buffer.clear();
  m_start = 0;
  m_position = 0;
}

void PayloadReader::dropBuffered() {
  m_position += m_buffer.getSize() - m_start;
  m_buffer.clear();
  m_start = 0;
}

bool PayloadReader::skipBuffered(uint32_t count) {
  if (m_buffer.getSize() - m_start < count) return false;
  m_start += count;
  m_position += count;
  return true;
}

const uint8_t *PayloadReader::lookAhead(uint64_t offset, uint32_t count) {
  if (m_source == nullptr || offset < m_position || offset - m_position + count > kBufferSize) return nullptr;
  const uint32_t reach = uint32_t(offset - m_position) + count;
  LogNull quiet;
  if (!fill(reach, nullptr, quiet)) return nullptr;
  return m_buffer.getData() + m_start + (offset - m_position);
}

bool PayloadReader::fill(uint32_t count, ProgressMonitor *monitor, LogBase &log) {
  uint32_t held = m_buffer.getSize() - m_start;
  if (held >= count) return true;
  if (m_buffer.getCapacity() < kBufferSize && !m_buffer.reserve(kBufferSize)) return false;
  if (m_start > 0) {
    std::memmove(m_buffer.getData(), m_buffer.getData() + m_start, held);
    m_buffer.setSize(held);
    m_start = 0;
  }
  while (held < count) {
    uint32_t got = 0;
    bool ok = m_source->readSource(m_buffer.getData() + held, kBufferSize - held, got, monitor, log);
    held += got;
    m_buffer.setSize(held);
    if (!ok || got == 0) return false;
  }
  return true;
}

bool PayloadReader::read(void *buffer, uint32_t count, ProgressMonitor *monitor, LogBase &log) {
  if (count == 0) return true;
  uint8_t *out = static_cast<uint8_t *>(buffer);
  uint32_t held = m_buffer.getSize() - m_start;
  if (count > held && count >= kBufferSize / 2) {
    // Chunk bodies: what is buffered, then the rest without a detour through the buffer.
    std::memcpy(out, m_buffer.getData() + m_start, held);
    dropBuffered();
    uint32_t done = held;
    while (done < count) {
      uint32_t got = 0;
      bool ok = m_source->readSource(out + done, count - done, got, monitor, log);
      m_position += got;
      if (!ok || got == 0) return false;
      done += got;
    }
    return true;
  }
  if (!fill(count, monitor, log)) {
    // What came before the end counts as read, as it would have without the buffer.
    dropBuffered();
    return false;
  }
  std::memcpy(out, m_buffer.getData() + m_start, count);
  m_start += count;
  m_position += count;
  return true;
}

bool PayloadReader::readU16(uint32_t &value, ProgressMonitor *monitor, LogBase &log) {
  uint8_t b[2];
  if (!read(b, 2, monitor, log)) return false;
  value = uint32_t(b[0]) | uint32_t(b[1]) << 8;
  return true;
}

bool PayloadReader::readU32(uint32_t &value, ProgressMonitor *monitor, LogBase &log) {
  uint8_t b[4];
  if (!read(b, 4, monitor, log)) return false;
  value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return true;
}

bool PayloadReader::peekU32(uint32_t &value) {
  LogNull quiet;
  if (!fill(4, nullptr, quiet)) return false;
  const uint8_t *b = m_buffer.getData() + m_start;
  value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return true;
}

bool PayloadReader::endOfStream() const {
  return m_buffer.getSize() == m_start && (m_source == nullptr || m_source->endOfStream());
}

void PayloadReader::handBack(LogBase &log) {
  if (m_source == nullptr) return;
  uint32_t held = m_buffer.getSize() - m_start;
  int64_t position = m_source->getPosition();
  if (held > 0 && position >= int64_t(held)) m_source->seekAbsolute(uint64_t(position) - held, log);
  attach(nullptr);
}
