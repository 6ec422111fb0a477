#include "compress/MemoryDataSource.h"

#include <cstring>

MemoryDataSource::~MemoryDataSource() { close(); }

void MemoryDataSource::setData(const uint8_t *data, uint64_t size) {
  m_data = data;
  m_size = data ? size : 0;
  m_position = 0;
}

void MemoryDataSource::close() {
  m_data = nullptr;
  m_size = 0;
  m_position = 0;
}

bool MemoryDataSource::readBytes(uint8_t *buffer, uint32_t maximum, uint32_t &count, bool &endOfData,
                                 ProgressMonitor *, LogBase &) {
  count = 0;
  endOfData = false;
  if (buffer == nullptr || maximum == 0) return false;
  if (m_data == nullptr || m_size == 0) {
    endOfData = true;
    return true;
  }
  if (buffer == m_data && maximum == m_size) {
    // Reading the whole data into itself: nothing to copy, but only from the start.
    if (m_position != 0) return false;
    count = maximum;
    m_position = m_size;
    endOfData = true;
    return true;
  }
  uint64_t left = m_size - m_position;
  count = left < maximum ? uint32_t(left) : maximum;
  if (count == 0) {
    endOfData = true;
    return true;
  }
  std::memmove(buffer, m_data + m_position, count);
  m_position += count;
  endOfData = m_position >= m_size;
  return true;
}

bool MemoryDataSource::endOfStream() { return m_position >= m_size; }

bool MemoryDataSource::seekAbsolute(uint64_t position, LogBase &) {
  m_position = position < m_size ? position : m_size;
  return true;
}

bool MemoryDataSource::seekRelative(int64_t offset, LogBase &) {
  if (offset < 0) {
    uint64_t back = uint64_t(-(offset + 1)) + 1;
    m_position = back > m_position ? 0 : m_position - back;
  } else {
    uint64_t ahead = uint64_t(offset);
    m_position = ahead > m_size - m_position ? m_size : m_position + ahead;
  }
  return true;
}

int64_t MemoryDataSource::getPosition() { return int64_t(m_position); }

void MemoryDataSource::rewind() { m_position = 0; }

bool MemoryDataSource::scanForUint32(uint32_t value, LogBase &) {
  if (m_data == nullptr) return false;
  for (uint64_t at = m_position; at + 4 <= m_size; ++at) {
    const uint8_t *p = m_data + at;
    uint32_t candidate = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    if (candidate == value) {
      m_position = at + 4;
      return true;
    }
  }
  m_position = m_size;
  return false;
}

bool MemoryDataSource::skipBytes(uint64_t count, ProgressMonitor *, LogBase &log) {
  return seekRelative(count > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(count), log);
}
