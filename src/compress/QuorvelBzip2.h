#pragma once

#include <cstdint>

class DataBuffer;

// Decodes a whole bzip2 stream held in memory behind a small frame of our own: magic
// 0xB394A7E1 and the uncompressed size (both 32-bit little-endian), then the bzip2 stream.
// Built where libbz2 is available: the Linux build. The Windows build carries no data that needs
// it, so it has no libbz2 to link and no QuorvelBzip2.
class QuorvelBzip2 {
 public:
  virtual ~QuorvelBzip2() = default;

  // False for a bad magic, no memory, a corrupt or truncated stream, or output beyond the
  // stored size + 20 bytes. An input too short for a frame, or a stored size of 0, decodes to
  // nothing with true.
  bool decodeFramed(const uint8_t *framed, uint32_t length, DataBuffer &output);
};
