#include "compress/InflateFrame.h"

#include "base/DataBuffer.h"
#include "compress/InflateState.h"
#include "compress/MemoryDataSource.h"
#include "compress/OutputDataBuffer.h"

bool inflateStream(bool zlib, DataSource &source, Output &output, bool enhancedDeflate,
                   ProgressMonitor *monitor, LogBase &log) {
  if (log.m_verbose) {
    log.logDataInt("bZlib", zlib ? 1 : 0);
    log.logDataInt("bEnhancedDeflate", enhancedDeflate ? 1 : 0);
  }
  InflateState inflater;
  if (!zlib) inflater.useRawDeflate();
  if (enhancedDeflate) inflater.useEnhancedWindow();
  if (zlib) output.setAdlerOn(true);
  if (!inflater.inflateSource(source, 32768, output, monitor, log)) {
    log.logError("Inflate from source failed.");
    return false;
  }
  if (!zlib) return true;
  if (log.m_verbose) {
    log.logDataHex("computedAdler", output.adler32());
    log.logDataHex("receivedAdler", inflater.receivedAdler());
  }
  if (output.adler32() != inflater.receivedAdler()) {
    log.logError("Computed and received Adler checksums do NOT match.");
    return false;
  }
  if (log.m_verbose) log.logInfo("Computed and received Adler checksums match.");
  return true;
}

bool inflateBuffer(bool zlib, const DataBuffer &compressed, DataBuffer &output, bool enhancedDeflate,
                   ProgressMonitor *monitor, LogBase &log) {
  OutputDataBuffer sink(&output);
  MemoryDataSource source;
  source.setData(compressed.getData(), compressed.getSize());
  return inflateStream(zlib, source, sink, enhancedDeflate, monitor, log);
}
