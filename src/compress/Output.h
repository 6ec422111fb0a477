#pragma once

#include <cstdint>

#include "base/LogBase.h"
#include "compress/Adler32.h"

class ProgressMonitor;

// A byte sink. Producers write through the non-virtual write(), which keeps the counters, the
// optional Adler-32 and the monitor's abort check; a derived sink only supplies rawWrite() and
// positioning. The base sink accepts and discards everything, which is what dry runs need.
class Output {
 public:
  virtual ~Output() = default;

  // What a derived sink supplies, with the base's answers (a sink that drops everything):
  // rawWrite stores `length` bytes (never called with none) or fails with its own messages
  // (base: true); moveToEnd, seek and position place the next write (base: true, true, 0);
  // reset empties the sink (base: true).
  virtual bool rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *monitor, LogBase &log);
  virtual bool moveToEnd(LogBase &log);
  virtual bool seek(uint64_t position, LogBase &log);
  virtual int64_t position();
  virtual bool reset(LogBase &log);

  // The write every producer uses. Nothing to write is success; otherwise it feeds the Adler-32
  // when on, calls rawWrite, counts the bytes and asks the monitor; an abort there logs
  // "Output aborted by application callback." and fails.
  bool write(const void *data, uint32_t length, ProgressMonitor *monitor, LogBase &log);
  // The same write of bytes whose CRC-32 the producer took already, so that a sink gathering the
  // CRC need not read them again (base: write()).
  virtual bool writeWithCrc(const void *data, uint32_t length, uint32_t crc, ProgressMonitor *monitor, LogBase &log);
  // Bracket a run of writes; the start records the tick count.
  void beginWriting(ProgressMonitor *monitor, LogBase &log);
  void endWriting(ProgressMonitor *monitor, LogBase &log);

  void setAdlerOn(bool on) { m_adlerOn = on; }
  uint32_t adler32() const { return m_adler.value(); }
  // When set, every write counts as work done on the monitor; otherwise the monitor is only asked
  // whether to abort.
  void setReportByteCounts(bool report) { m_reportByteCounts = report; }
  uint64_t totalWritten() const { return m_totalWritten; }
  uint32_t startTick() const { return m_startTick; }

 private:
  uint64_t m_totalWritten = 0;
  bool m_adlerOn = false;
  Adler32 m_adler;
  bool m_reportByteCounts = false;
  uint32_t m_startTick = 0;
};
