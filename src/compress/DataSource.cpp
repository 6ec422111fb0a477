#include "compress/DataSource.h"

#include <cstdlib>

#include "compress/ProgressMonitor.h"

void DataSource::close() {}

bool DataSource::readBytes(uint8_t *, uint32_t, uint32_t &count, bool &endOfData, ProgressMonitor *,
                           LogBase &) {
  count = 0;
  endOfData = true;
  return true;
}

bool DataSource::endOfStream() { return true; }
bool DataSource::seekAbsolute(uint64_t, LogBase &) { return false; }
bool DataSource::seekRelative(int64_t, LogBase &) { return false; }
int64_t DataSource::getPosition() { return 0; }
void DataSource::rewind() {}
bool DataSource::scanForUint32(uint32_t, LogBase &) { return false; }

bool DataSource::skipBytes(uint64_t count, ProgressMonitor *monitor, LogBase &log) {
  const uint32_t kStep = 20000;
  uint8_t *scratch = static_cast<uint8_t *>(std::malloc(kStep + 8));
  if (scratch == nullptr) return false;
  bool ok = true;
  while (count > 0 && !endOfStream()) {
    uint32_t wanted = count < kStep ? uint32_t(count) : kStep;
    uint32_t got = 0;
    bool end = false;
    if (!readBytes(scratch, wanted, got, end, monitor, log) || (got < wanted && !endOfStream())) {
      ok = false;
      break;
    }
    count -= got;
  }
  std::free(scratch);
  return ok;
}

bool DataSource::readSource(uint8_t *buffer, uint32_t maximum, uint32_t &count, bool &endOfData,
                            ProgressMonitor *monitor, LogBase &log) {
  if (!readBytes(buffer, maximum, count, endOfData, monitor, log)) return false;
  if (count > 0) {
    m_totalRead += count;
    if (monitor != nullptr && monitor->abortCheck()) {
      log.logError("Source read aborted by application callback.");
      return false;
    }
  }
  return true;
}

bool DataSource::readSource(uint8_t *buffer, uint32_t maximum, uint32_t &count, ProgressMonitor *monitor,
                            LogBase &log) {
  bool endOfData = false;
  return readSource(buffer, maximum, count, endOfData, monitor, log);
}
