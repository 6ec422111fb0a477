#pragma once

#include <cstdint>

#include "base/DataBuffer.h"
#include "base/LogBase.h"

class Output;
class ProgressMonitor;

// Inflates one whole chunk (raw deflate, 32 KiB window, no history from earlier chunks) into an
// output, gathering the decoded bytes in a buffer of `capacity` bytes so that the output gets
// large writes. One object per thread, reused across chunks. On failure it logs the reader's
// verdict after the decoder's or the output's own messages: "Failed to inflate compressed data.",
// "Compressed data ends before its final block." or "Failed to write file data.".
class ChunkDecoder {
 public:
  explicit ChunkDecoder(uint32_t capacity) : m_capacity(capacity) {}
  ChunkDecoder(const ChunkDecoder &) = delete;
  ChunkDecoder &operator=(const ChunkDecoder &) = delete;

  bool inflate(const uint8_t *in, uint32_t inSize, Output &output, ProgressMonitor *monitor, LogBase &log);
  // Bytes the last successful call produced.
  uint64_t produced() const { return m_produced; }

 private:
  uint32_t m_capacity;
  DataBuffer m_buffer;
  uint64_t m_produced = 0;
};
