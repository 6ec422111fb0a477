#pragma once

#include "base/QuorvelHandle.h"
#include "base/XString.h"
#include "compress/Output.h"

class BackgroundCloser;
class TimeValue;

// Writes to a file through a handle it takes over from the caller, keeping the write position
// and the highest offset written so that moveToEnd returns after a seek back.
class OutputFile : public Output {
 public:
  // The handle's file moves into this output; the caller's handle is left empty.
  OutputFile(const XString &path, QuorvelHandle &handle);
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;
  ~OutputFile() override = default;

  bool rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *monitor, LogBase &log) override;
  bool moveToEnd(LogBase &log) override;
  bool seek(uint64_t position, LogBase &log) override;
  int64_t position() override { return int64_t(m_position); }
  // Starts the file over: it is deleted and created again, empty.
  bool reset(LogBase &log) override;

  // Through the open handle (its result is not passed on), else by path.
  bool setFileTime(const TimeValue &time, LogBase &log);
  void close() { m_handle.closeFile(); }
  // The open file goes to `closer`, which closes it on its own thread.
  void handOver(BackgroundCloser &closer, const char *name);
  bool isOpen() const { return m_handle.isOpen(); }

  uint64_t endOffset() const { return m_end; }
  uint64_t bytesWritten() const { return m_bytesWritten; }

 private:
  QuorvelHandle m_handle;
  XString m_path;
  uint64_t m_position = 0;
  uint64_t m_end = 0;
  uint64_t m_bytesWritten = 0;
};
