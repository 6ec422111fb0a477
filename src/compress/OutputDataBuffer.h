#pragma once

#include "compress/Output.h"

class DataBuffer;

// An Output that writes into a caller's DataBuffer, appending after what it already holds.
// After the first failed write it refuses every later one, so a short result is never mistaken
// for a complete one.
class OutputDataBuffer : public Output {
 public:
  explicit OutputDataBuffer(DataBuffer *target);
  ~OutputDataBuffer() override = default;

  bool rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *monitor, LogBase &log) override;
  bool moveToEnd(LogBase &log) override;
  bool seek(uint64_t position, LogBase &log) override;
  int64_t position() override;
  bool reset(LogBase &log) override;

 private:
  DataBuffer *m_target;
  uint32_t m_writePosition;
  bool m_failed = false;
};
