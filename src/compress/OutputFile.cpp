#include "compress/OutputFile.h"

#include "base/BackgroundCloser.h"
#include "base/FileDelete.h"
#include "base/FileOpen.h"
#include "base/TimeValue.h"

OutputFile::OutputFile(const XString &path, QuorvelHandle &handle) {
  m_path.copyFrom(path);
  m_handle.takeOver(handle);
}

bool OutputFile::rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *, LogBase &log) {
  if (data == nullptr || length == 0) return true;
  if (!m_handle.writeBytes(data, length, nullptr, log)) return false;
  m_bytesWritten += length;
  m_position += length;
  if (m_position > m_end) m_end = m_position;
  return true;
}

bool OutputFile::moveToEnd(LogBase &log) {
  m_position = m_end;
  return m_handle.seekToEnd(log);
}

bool OutputFile::seek(uint64_t position, LogBase &log) {
  if (!m_handle.seekAbsolute(int64_t(position), log)) return false;
  m_position = position;
  return true;
}

bool OutputFile::reset(LogBase &log) {
  m_bytesWritten = 0;
  if (m_position == 0) return true;
  m_handle.closeFile();
  deleteFile(m_path, log);
  int errorKind = 0;
  if (!openHandleForReadWrite(m_handle, m_path, true, errorKind, log)) return false;
  // The file is new and empty: later writes and moveToEnd must not count the old content.
  m_position = 0;
  m_end = 0;
  return true;
}

bool OutputFile::setFileTime(const TimeValue &time, LogBase &log) {
  if (m_handle.isOpen()) {
    m_handle.setFileTimes(time, log);
    return true;
  }
  if (m_path.isEmpty()) log.logError("Cannot set file time because output file path is empty. (1a)");
  return setFileTimesByPath(m_path, time, log);
}

void OutputFile::handOver(BackgroundCloser &closer, const char *name) { closer.hand(m_handle, name); }
