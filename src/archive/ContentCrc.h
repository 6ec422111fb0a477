// The CRC-32 of one file's contents, gathered while the file is written, for comparing with its
// check value. The serial reader passes the bytes through a CrcOutput; a reader whose workers
// have already taken each chunk's CRC adds those with their lengths, in file order. Owned by the
// one thread that writes the file; never shared.
#pragma once

#include <cstdint>

#include "compress/Output.h"

class ContentCrc {
 public:
  void addBytes(const void *data, uint32_t length);
  void addChunk(uint32_t chunkCrc, uint64_t chunkLength);
  uint32_t value() const { return m_crc; }
  uint64_t length() const { return m_length; }

 private:
  uint32_t m_crc = 0;
  uint64_t m_length = 0;
};

// Passes every write on to the target and adds what the target took to a ContentCrc: the CRC
// given with the bytes, or else one taken from them here.
class CrcOutput : public Output {
 public:
  explicit CrcOutput(Output &target) : m_target(target) {}
  ~CrcOutput() override = default;

  bool rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *monitor, LogBase &log) override;
  bool writeWithCrc(const void *data, uint32_t length, uint32_t crc, ProgressMonitor *monitor, LogBase &log) override;
  const ContentCrc &crc() const { return m_crc; }

 private:
  Output &m_target;
  ContentCrc m_crc;
  // Set only for the one write inside writeWithCrc.
  const uint32_t *m_givenCrc = nullptr;
};
