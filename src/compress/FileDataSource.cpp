#include "compress/FileDataSource.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/FileOpen.h"
#include "base/QuorvelHandle.h"

namespace {
constexpr uint32_t kScanBlock = 20000;

uint32_t littleEndian32(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
}  // namespace

FileDataSource::~FileDataSource() { freeHandle(); }

FileDataSource *FileDataSource::openFileSource(const char *utf8Path, LogBase &log) {
  XString path;
  path.setUtf8(utf8Path);
  int errorKind = 0;
  QuorvelHandle *handle = openForReadWin32(path, errorKind, log);
  if (handle == nullptr) return nullptr;
  FileDataSource *source = new (std::nothrow) FileDataSource();
  if (source == nullptr || !source->m_path.setString(path.getUtf8())) {
    delete source;
    delete handle;
    return nullptr;
  }
  source->attachHandle(handle);
  return source;
}

void FileDataSource::freeHandle() {
  if (m_ownsHandle) delete m_handle;
  m_handle = nullptr;
}

void FileDataSource::attachHandle(QuorvelHandle *handle) {
  if (handle != m_handle) {
    freeHandle();
    m_handle = handle;
    m_endReached = false;
  }
  m_ownsHandle = true;
}

int64_t FileDataSource::fileSize() {
  LogNull quiet;
  return m_handle != nullptr ? m_handle->getFileSize64(quiet) : -1;
}

// The handle lives as long as the source: it is released by the destructor.
void FileDataSource::close() {}

bool FileDataSource::readBytes(uint8_t *buffer, uint32_t maximum, uint32_t &count, bool &endOfData,
                               ProgressMonitor *, LogBase &log) {
  count = 0;
  endOfData = false;
  if (buffer == nullptr || maximum == 0 || m_handle == nullptr) return false;
  uint64_t got = 0;
  bool ok = m_handle->readBytes(buffer, maximum, got, endOfData, log);
  count = uint32_t(got);
  m_endReached = ok ? endOfData : true;
  return ok;
}

bool FileDataSource::endOfStream() { return m_handle == nullptr || m_endReached; }

bool FileDataSource::seekAbsolute(uint64_t position, LogBase &log) {
  if (m_handle == nullptr || !m_handle->seekAbsolute(int64_t(position), log)) return false;
  m_endReached = false;
  return true;
}

bool FileDataSource::seekRelative(int64_t offset, LogBase &log) {
  if (offset < 0 && !m_ownsHandle) {
    log.logError("Cannot seek relative on non-owned file handle");
    return false;
  }
  if (m_handle == nullptr) {
    log.logError("Cannot fseek relative, file already closed.");
    return false;
  }
  if (!m_handle->seekRelative(offset, log)) {
    log.logError("Failed to seek to relative offset in file");
    return false;
  }
  int64_t position = m_handle->getPosition(log);
  if (position < 0) return false;
  if (offset >= 0 || m_path.isEmpty()) {
    m_endReached = false;
    return true;
  }
  return reopenAt(position, log);
}

bool FileDataSource::reopenAt(int64_t position, LogBase &log) {
  freeHandle();
  XString path;
  path.setUtf8(m_path.getText());
  int errorKind = 0;
  m_handle = openForReadWin32(path, errorKind, log);
  if (m_handle == nullptr) return false;
  if (!m_handle->seekAbsolute(position, log)) return false;
  m_endReached = false;
  return true;
}

int64_t FileDataSource::getPosition() {
  LogNull quiet;
  return m_handle != nullptr ? m_handle->getPosition(quiet) : -1;
}

void FileDataSource::rewind() {
  LogNull quiet;
  seekAbsolute(0, quiet);
  m_endReached = false;
}

bool FileDataSource::scanForUint32(uint32_t value, LogBase &log) {
  if (m_handle == nullptr) return false;
  uint8_t *block = static_cast<uint8_t *>(std::malloc(kScanBlock));
  if (block == nullptr) return false;
  bool found = false;
  uint32_t have = 0;
  bool end = false;
  // totalRead counts every byte this scan read; blockStart is the scan offset of block[0].
  uint64_t totalRead = 0, blockStart = 0, matchEnd = 0;
  bool ok = readBytes(block, kScanBlock, have, end, nullptr, log) && have >= 4;
  totalRead = have;
  while (ok && !found) {
    for (uint32_t i = 0; i + 4 <= have; ++i) {
      if (littleEndian32(block + i) == value) {
        found = true;
        matchEnd = blockStart + i + 4;
        break;
      }
    }
    if (found) break;
    // The last three bytes may start the value: they stay in front of the next read.
    std::memmove(block, block + have - 3, 3);
    blockStart += have - 3;
    uint32_t got = 0;
    ok = readBytes(block + 3, kScanBlock - 3, got, end, nullptr, log) && got > 0;
    have = 3 + got;
    totalRead += got;
  }
  std::free(block);
  return found && seekRelative(int64_t(matchEnd) - int64_t(totalRead), log);
}

bool FileDataSource::skipBytes(uint64_t count, ProgressMonitor *, LogBase &log) {
  return seekRelative(int64_t(count), log);
}
