#pragma once

#include "compress/DataSource.h"

// Serves bytes that the caller keeps in memory, in place: the source neither copies nor owns
// them, so it must not outlive them.
class MemoryDataSource : public DataSource {
 public:
  ~MemoryDataSource() override;

  void setData(const uint8_t *data, uint64_t size);

  void close() override;
  bool readBytes(uint8_t *buffer, uint32_t maximum, uint32_t &count, bool &endOfData,
                 ProgressMonitor *monitor, LogBase &log) override;
  bool endOfStream() override;
  bool seekAbsolute(uint64_t position, LogBase &log) override;
  bool seekRelative(int64_t offset, LogBase &log) override;
  int64_t getPosition() override;
  void rewind() override;
  bool scanForUint32(uint32_t value, LogBase &log) override;
  bool skipBytes(uint64_t count, ProgressMonitor *monitor, LogBase &log) override;

 private:
  const uint8_t *m_data = nullptr;
  uint64_t m_size = 0;
  uint64_t m_position = 0;
};
