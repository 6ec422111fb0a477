#pragma once

#include <cstdint>

#include "base/DataBuffer.h"
#include "base/LogBase.h"

class DataSource;
class ProgressMonitor;

// Reads the entry stream through one buffer of its own: header fields of a few bytes each would
// otherwise cost a read call apiece. Large reads go straight into the caller's buffer. The
// source stands ahead of what has been handed out until `handBack` puts it where reading
// logically stopped.
class PayloadReader {
 public:
  static constexpr uint32_t kBufferSize = 1024 * 1024;

  // Starts reading at the source's current position; null detaches.
  void attach(DataSource *source);
  bool isAttached() const { return m_source != nullptr; }

  // Exactly `count` bytes, or false (a short read is a failure); the source logs its own reasons.
  bool read(void *buffer, uint32_t count, ProgressMonitor *monitor, LogBase &log);
  bool readU16(uint32_t &value, ProgressMonitor *monitor, LogBase &log);
  bool readU32(uint32_t &value, ProgressMonitor *monitor, LogBase &log);
  // The next 4 bytes without consuming them; false when they cannot be had quietly.
  bool peekU32(uint32_t &value);
  // Bytes handed out since attach().
  uint64_t position() const { return m_position; }
  // Consumes `count` bytes already in the buffer; false (consuming nothing) when they are not.
  bool skipBuffered(uint32_t count);
  // The `count` bytes at `offset` (at or after position()) when the buffer holds them or can be
  // filled to hold them without a message; null otherwise. Valid until the next read.
  const uint8_t *lookAhead(uint64_t offset, uint32_t count);
  // Nothing buffered and nothing left in the source.
  bool endOfStream() const;
  // Seeks the source back to the first byte not handed out, then detaches.
  void handBack(LogBase &log);

 private:
  // Tops the buffer up to at least `count` bytes where the source has them.
  bool fill(uint32_t count, ProgressMonitor *monitor, LogBase &log);
  // Counts what is buffered as read.
  void dropBuffered();

  DataSource *m_source = nullptr;
  DataBuffer m_buffer;
  uint32_t m_start = 0;
  uint64_t m_position = 0;
};
