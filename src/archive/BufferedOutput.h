#pragma once

#include "compress/Output.h"

class DataBuffer;

// Gathers the bytes the inflater produces in a buffer of fixed size and passes them on to the
// real output in large writes: one write per chunk as a rule, and never more memory than the
// buffer however far a chunk expands.
class BufferedOutput : public Output {
 public:
  // `buffer` must already have room for `capacity` (> 0) bytes; it is emptied first.
  BufferedOutput(Output &target, DataBuffer &buffer, uint32_t capacity);
  ~BufferedOutput() override = default;

  bool rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *monitor, LogBase &log) override;
  // Passes on what is still held.
  bool flush(ProgressMonitor *monitor, LogBase &log);
  // A write to the real output failed (as opposed to the data being bad).
  bool targetFailed() const { return m_targetFailed; }

 private:
  Output &m_target;
  DataBuffer &m_buffer;
  uint32_t m_capacity;
  bool m_targetFailed = false;
};
