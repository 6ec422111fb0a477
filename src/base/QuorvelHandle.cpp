#include "base/QuorvelHandle.h"

#include "base/StringBuffer.h"
#include "base/TimeValue.h"

QuorvelHandle::~QuorvelHandle() { closeFile(); }

void QuorvelHandle::closeFile() {
  if (!isOpen()) return;
  CloseHandle(m_handle);
  m_handle = INVALID_HANDLE_VALUE;
}

void QuorvelHandle::takeOver(QuorvelHandle &other) {
  if (&other == this) return;
  closeFile();
  m_handle = other.m_handle;
  other.m_handle = INVALID_HANDLE_VALUE;
}

bool QuorvelHandle::readChunk(void *buffer, uint32_t count, uint32_t &bytesRead, bool &endOfFile, LogBase &log) {
  bytesRead = 0;
  endOfFile = false;
  if (buffer == nullptr || count == 0) {
    log.logError("NULL buf or bufSize");
    return false;
  }
  if (!isOpen()) {
    log.logError("No file is open.");
    return false;
  }
  DWORD got = 0;
  if (!ReadFile(m_handle, buffer, count, &got, nullptr)) {
    DWORD error = GetLastError();
    if (error == ERROR_HANDLE_EOF) {
      endOfFile = true;
      return true;
    }
    log.logWindowsError(error);
    return false;
  }
  bytesRead = got;
  if (got == 0) endOfFile = true;
  return true;
}

bool QuorvelHandle::readBytes(void *buffer, uint64_t count, uint64_t &bytesRead, bool &endOfFile, LogBase &log) {
  bytesRead = 0;
  endOfFile = false;
  if (buffer == nullptr) {
    log.logError("NULL buf pointer.");
    return false;
  }
  uint8_t *at = static_cast<uint8_t *>(buffer);
  while (bytesRead < count) {
    uint64_t remaining = count - bytesRead;
    uint32_t piece = remaining < kMaxReadChunk ? uint32_t(remaining) : kMaxReadChunk;
    uint32_t got = 0;
    bool ok = readChunk(at, piece, got, endOfFile, log);
    bytesRead += got;
    if (!ok) return false;
    at += got;
    if (endOfFile) return true;
  }
  return true;
}

bool QuorvelHandle::writeBytes(const void *buffer, uint64_t count, uint64_t *bytesWritten, LogBase &log) {
  if (!isOpen()) {
    log.logError("Failed to write because file is not open.");
    return false;
  }
  if (bytesWritten != nullptr) *bytesWritten = 0;
  const uint8_t *at = static_cast<const uint8_t *>(buffer);
  while (count > 0) {
    DWORD piece = count < kMaxWriteChunk ? DWORD(count) : kMaxWriteChunk;
    DWORD written = 0;
    // A write can succeed in part (Wine passes on what write() did on a full disk): the rest
    // goes in the next round, whose failure then carries the reason.
    if (!WriteFile(m_handle, at, piece, &written, nullptr) || written == 0) {
      DWORD error = GetLastError();
      LogContextExitor context(log, "WriteFileError");
      StringBuffer reason;
      reason.appendWindowsError(error);
      log.logData("WindowsError", reason);
      log.logDataHex("WindowsErrorCode", error);
      return false;
    }
    if (bytesWritten != nullptr) *bytesWritten += written;
    at += written;
    count -= written;
  }
  return true;
}

int64_t QuorvelHandle::movePointer(int64_t distance, DWORD moveMethod) {
  LONG high = LONG(uint64_t(distance) >> 32);
  // A low part of all ones is also a valid position; only the last error tells them apart.
  SetLastError(ERROR_SUCCESS);
  DWORD low = SetFilePointer(m_handle, LONG(uint32_t(uint64_t(distance))), &high, moveMethod);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) return -1;
  return int64_t(uint64_t(uint32_t(high)) << 32 | low);
}

int64_t QuorvelHandle::getPosition(LogBase &log) {
  if (!isOpen()) return -1;
  int64_t position = movePointer(0, FILE_CURRENT);
  if (position < 0) {
    DWORD error = GetLastError();
    log.logError("Failed to get file position (2)");
    log.logWindowsError(error);
  }
  return position;
}

bool QuorvelHandle::seekFrom(int64_t offset, DWORD moveMethod, const char *failure, LogBase &log) {
  if (!isOpen()) return false;
  if (movePointer(offset, moveMethod) >= 0) return true;
  DWORD error = GetLastError();
  log.logError(failure);
  log.logWindowsError(error);
  if (moveMethod != FILE_END) log.logDataInt64("position", offset);
  return false;
}

bool QuorvelHandle::seekAbsolute(int64_t offset, LogBase &log) {
  return seekFrom(offset, FILE_BEGIN, "Failed to SetFilePointer to absolute file position", log);
}

bool QuorvelHandle::seekRelative(int64_t offset, LogBase &log) {
  return seekFrom(offset, FILE_CURRENT, "Failed to SetFilePointer to relative file position", log);
}

bool QuorvelHandle::seekToEnd(LogBase &log) {
  return seekFrom(0, FILE_END, "Failed to SetFilePointer to end of file.", log);
}

int64_t QuorvelHandle::getFileSize64(LogBase &log) {
  if (!isOpen()) return -1;
  DWORD high = 0;
  SetLastError(ERROR_SUCCESS);
  DWORD low = GetFileSize(m_handle, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
    StringBuffer reason;
    reason.appendLastWindowsError();
    log.logError(reason.getText());
    log.logError("Failed to get file size (64)");
    return -1;
  }
  return int64_t(uint64_t(high) << 32 | low);
}

bool QuorvelHandle::setFileTimes(const TimeValue &time, LogBase &log) {
  if (!isOpen()) {
    log.logError("Cannot set file time because file is not open.");
    return false;
  }
  TimeValue corrected = time;
  corrected.applyLocalOffsetCorrection();
  FILETIME fileTime = corrected.toFileTime();
  return SetFileTime(m_handle, &fileTime, &fileTime, &fileTime) != FALSE;
}
