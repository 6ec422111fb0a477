#include "base/WriteEntireFile.h"

#include "base/FileOpen.h"

bool writeEntireFile(const XString &path, const void *data, uint64_t count, LogBase &log) {
  if (path.isEmpty()) return false;
  QuorvelHandle handle;
  int errorKind = 0;
  if (!openHandleForWrite(handle, path, errorKind, log)) {
    log.logData("filename", path);
    log.logError("Failed to write complete file (7)");
    return false;
  }
  if (data == nullptr || count == 0) return true;
  if (!handle.writeBytes(data, count, nullptr, log)) {
    log.logData("filename", path);
    log.logError("Failed to write complete file (1)");
    return false;
  }
  return true;
}

bool writeEntireFile(const char *utf8Path, const void *data, uint64_t count, LogBase &log) {
  XString path;
  path.setUtf8(utf8Path);
  return writeEntireFile(path, data, count, log);
}
