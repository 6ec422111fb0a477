#pragma once

#include <cstdint>

#include "base/LogBase.h"
#include "platform/win32.h"

class TimeValue;

// One open Windows file handle with 64-bit positioned reading and writing. The file-system layer
// opens files into handles; a handle owns its OS handle and closes it when destroyed. Operations
// on a handle that holds no file fail without touching Windows.
class QuorvelHandle {
 public:
  QuorvelHandle() = default;
  explicit QuorvelHandle(HANDLE osHandle) : m_handle(osHandle) {}
  QuorvelHandle(const QuorvelHandle &) = delete;
  QuorvelHandle &operator=(const QuorvelHandle &) = delete;
  virtual ~QuorvelHandle();

  bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
  void closeFile();
  // Closes this handle's file and takes the other's; the other is left empty.
  void takeOver(QuorvelHandle &other);
  HANDLE osHandle() const { return m_handle; }
  // Lets go of the handle without closing it: whoever took osHandle() closes it now.
  void forget() { m_handle = INVALID_HANDLE_VALUE; }

  // One ReadFile of the whole count. The end of the file is a success with endOfFile set.
  bool readChunk(void *buffer, uint32_t count, uint32_t &bytesRead, bool &endOfFile, LogBase &log);
  // Reads until the count is filled or the file ends, asking Windows for at most 64 KiB at a time.
  bool readBytes(void *buffer, uint64_t count, uint64_t &bytesRead, bool &endOfFile, LogBase &log);
  // True only when every byte was written; Windows gets at most 10,000,000 bytes per call.
  bool writeBytes(const void *buffer, uint64_t count, uint64_t *bytesWritten, LogBase &log);

  // -1 on failure.
  int64_t getPosition(LogBase &log);
  bool seekAbsolute(int64_t offset, LogBase &log);
  bool seekRelative(int64_t offset, LogBase &log);
  bool seekToEnd(LogBase &log);
  // -1 on failure.
  int64_t getFileSize64(LogBase &log);
  // Sets creation, last-access and last-write time to the value, after moving it by the
  // difference between today's UTC offset and the one in force at its own moment.
  bool setFileTimes(const TimeValue &time, LogBase &log);

  static constexpr uint32_t kMaxReadChunk = 0x10000;
  static constexpr uint32_t kMaxWriteChunk = 10000000;

 private:
  // SetFilePointer with a 64-bit distance; -1 when it failed.
  int64_t movePointer(int64_t distance, DWORD moveMethod);
  // Logs the failure, Windows' reason and (unless from the end) the offset asked for.
  bool seekFrom(int64_t offset, DWORD moveMethod, const char *failure, LogBase &log);

  HANDLE m_handle = INVALID_HANDLE_VALUE;
};
