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

  // What a derived source supplies, with the base's answers for a source that has nothing:
  // close: release what the source holds (base: nothing).
  virtual void close();
  // Clears `count` and `endOfData` first, then delivers up to `maximum` bytes; `endOfData` tells
  // that nothing is left after them. False only for a failure, never for the end of the data
  // (base: 0 bytes, end of data, true).
  virtual bool readBytes(uint8_t *buffer, uint32_t maximum, uint32_t &count, bool &endOfData,
                         ProgressMonitor *monitor, LogBase &log);
  // True once nothing is left to read (base: true).
  virtual bool endOfStream();
  // Positioning (base: false, false, 0, nothing).
  virtual bool seekAbsolute(uint64_t position, LogBase &log);
  virtual bool seekRelative(int64_t offset, LogBase &log);
  virtual int64_t getPosition();
  virtual void rewind();
  // Moves just past the next occurrence of `value` (4 bytes, little-endian) at or after the
  // current position (base: false).
  virtual bool scanForUint32(uint32_t value, LogBase &log);
  // Base: reads and discards in 20,000-byte steps, true when it stops at the end of the data.
  // Sources that can seek override it with seekRelative(count).
  virtual bool skipBytes(uint64_t count, ProgressMonitor *monitor, LogBase &log);

  // The read every caller uses. True with a short count means the data ended; callers needing an
  // exact count compare. When the monitor asks to abort after bytes were delivered, logs
  // "Source read aborted by application callback." and fails (the bytes stay in the buffer).
  bool readSource(uint8_t *buffer, uint32_t maximum, uint32_t &count, bool &endOfData,
                  ProgressMonitor *monitor, LogBase &log);
  bool readSource(uint8_t *buffer, uint32_t maximum, uint32_t &count, ProgressMonitor *monitor, LogBase &log);
  uint64_t totalRead() const { return m_totalRead; }

 private:
  uint64_t m_totalRead = 0;
};
