#include "archive/ChunkDecoder.h"

#include "archive/BufferedOutput.h"
#include "compress/InflateState.h"

bool ChunkDecoder::inflate(const uint8_t *in, uint32_t inSize, Output &output, ProgressMonitor *monitor,
                           LogBase &log) {
  m_produced = 0;
  if (m_buffer.getCapacity() < m_capacity && !m_buffer.reserve(m_capacity)) {
    log.logMemoryFailure(1, m_capacity);
    return false;
  }
  BufferedOutput sink(output, m_buffer, m_capacity);
  InflateState inflater;
  inflater.useRawDeflate();
  if (!inflater.inflateBlock(in, inSize, sink, monitor, log)) {
    log.logError(sink.targetFailed() ? "Failed to write file data." : "Failed to inflate compressed data.");
    return false;
  }
  if (!inflater.isFinished()) {
    log.logError("Compressed data ends before its final block.");
    return false;
  }
  if (!sink.flush(monitor, log)) {
    log.logError("Failed to write file data.");
    return false;
  }
  m_produced = sink.totalWritten();
  return true;
}
