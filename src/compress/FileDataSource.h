#pragma once

#include "base/StringBuffer.h"
#include "compress/DataSource.h"

class QuorvelHandle;

// Reads a file through a QuorvelHandle it owns. It remembers the path it was opened from:
// a backward relative seek closes the handle and opens the file again before seeking.
class FileDataSource : public DataSource {
 public:
  FileDataSource() = default;
  FileDataSource(const FileDataSource &) = delete;
  FileDataSource &operator=(const FileDataSource &) = delete;
  ~FileDataSource() override;

  // A new source over the file, or null with the open's reason in the log.
  static FileDataSource *openFileSource(const char *utf8Path, LogBase &log);

  // Takes the handle (owned from now on); the one held before is freed.
  void attachHandle(QuorvelHandle *handle);
  // -1 without a handle or when Windows cannot tell.
  int64_t fileSize();

  void close() override;
  bool readBytes(uint8_t *buffer, uint32_t maximum, uint32_t &count, bool &endOfData, ProgressMonitor *monitor,
                 LogBase &log) override;
  bool endOfStream() override;
  bool seekAbsolute(uint64_t position, LogBase &log) override;
  bool seekRelative(int64_t offset, LogBase &log) override;
  int64_t getPosition() override;
  void rewind() override;
  // Reads 20,000 bytes at a time; a value split between two reads is found too.
  bool scanForUint32(uint32_t value, LogBase &log) override;
  bool skipBytes(uint64_t count, ProgressMonitor *monitor, LogBase &log) override;

 private:
  void freeHandle();
  bool reopenAt(int64_t position, LogBase &log);

  bool m_ownsHandle = false;
  bool m_endReached = false;
  QuorvelHandle *m_handle = nullptr;
  StringBuffer m_path;
};
