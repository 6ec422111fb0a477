#pragma once

#include <cstdint>

#include "base/LogBase.h"

class ProgressMonitor;

// A readable, seekable byte stream. Readers go through the non-virtual readSource(), which keeps
// the running total and asks the optional monitor whether to abort; derived sources supply
// readBytes() and the positioning operations. The base is an always-empty source.
class DataSource {
 public:
  virtual ~DataSource() = default;

  virtual void close();
  // Delivers up to `maximum` bytes; `endOfData` tells that nothing is left after them.
  virtual bool readBytes(uint8_t *buffer, uint32_t maximum, uint32_t &count, bool &endOfData,
                         ProgressMonitor *monitor, LogBase &log);
  virtual bool endOfStream();
  virtual bool seekAbsolute(uint64_t position, LogBase &log);
  virtual bool seekRelative(int64_t offset, LogBase &log);
  virtual int64_t getPosition();
  virtual void rewind();
  // Moves just past the next occurrence of `value` (4 bytes, little-endian).
  virtual bool scanForUint32(uint32_t value, LogBase &log);
  virtual bool skipBytes(uint64_t count, ProgressMonitor *monitor, LogBase &log);

  // True with a short count means the data ended; callers needing an exact count compare.
  bool readSource(uint8_t *buffer, uint32_t maximum, uint32_t &count, bool &endOfData,
                  ProgressMonitor *monitor, LogBase &log);
  bool readSource(uint8_t *buffer, uint32_t maximum, uint32_t &count, ProgressMonitor *monitor, LogBase &log);
  uint64_t totalRead() const { return m_totalRead; }

 private:
  uint64_t m_totalRead = 0;
};
