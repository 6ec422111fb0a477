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
  m_crc.addBytes(data, length);
  return true;
}
