#include "compress/Output.h"

#include "compress/ProgressMonitor.h"
#include "platform/win32.h"

bool Output::rawWrite(const uint8_t *, uint32_t, ProgressMonitor *, LogBase &) { return true; }
bool Output::moveToEnd(LogBase &) { return true; }
bool Output::seek(uint64_t, LogBase &) { return true; }
int64_t Output::position() { return 0; }
bool Output::reset(LogBase &) { return true; }

bool Output::writeWithCrc(const void *data, uint32_t length, uint32_t, ProgressMonitor *monitor, LogBase &log) {
  return write(data, length, monitor, log);
}

bool Output::write(const void *data, uint32_t length, ProgressMonitor *monitor, LogBase &log) {
  if (data == nullptr || length == 0) return true;
  const uint8_t *bytes = static_cast<const uint8_t *>(data);
  if (m_adlerOn) m_adler.update(bytes, length);
  if (!rawWrite(bytes, length, monitor, log)) return false;
  m_totalWritten += length;
  if (monitor != nullptr) {
    bool abort = m_reportByteCounts ? monitor->consume(length) : monitor->abortCheck();
    if (abort) {
      log.logError("Output aborted by application callback.");
      return false;
    }
  }
  return true;
}

void Output::beginWriting(ProgressMonitor *, LogBase &) { m_startTick = GetTickCount(); }

// Kept as the closing bracket of a run of writes; nothing needs doing here yet.
void Output::endWriting(ProgressMonitor *, LogBase &) {}
