#include "archive/ContentCrc.h"

#include "base/Crc32Polynomial.h"
#include "base/ZipCRC.h"

void ContentCrc::addBytes(const void *data, uint32_t length) { addChunk(ZipCRC::crc32(data, length), length); }

void ContentCrc::addChunk(uint32_t chunkCrc, uint64_t chunkLength) {
  m_crc = crc32Combine(m_crc, chunkCrc, chunkLength);
  m_length += chunkLength;
}

bool CrcOutput::rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *monitor, LogBase &log) {
  if (!m_target.write(data, length, monitor, log)) return false;
  if (m_givenCrc != nullptr) {
    m_crc.addChunk(*m_givenCrc, length);
  } else {
    m_crc.addBytes(data, length);
  }
  return true;
}

bool CrcOutput::writeWithCrc(const void *data, uint32_t length, uint32_t crc, ProgressMonitor *monitor,
                             LogBase &log) {
  // Through write(), so that counting and the monitor's abort check stay as for any write.
  m_givenCrc = &crc;
  const bool ok = write(data, length, monitor, log);
  m_givenCrc = nullptr;
  return ok;
}
