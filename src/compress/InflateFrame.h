#pragma once

#include "base/LogBase.h"

class DataBuffer;
class DataSource;
class Output;
class ProgressMonitor;

// Entry points for decompressing one deflate stream. `zlib` selects the RFC 1950 wrapper, whose
// Adler-32 trailer is then checked; `enhancedDeflate` selects the 64 KiB-window Deflate64 codes.
// A raw stream that ends before its final block decodes to what it holds, with true.
bool inflateStream(bool zlib, DataSource &source, Output &output, bool enhancedDeflate,
                   ProgressMonitor *monitor, LogBase &log);

// Same from one buffer, appending the decoded bytes to `output`.
bool inflateBuffer(bool zlib, const DataBuffer &compressed, DataBuffer &output, bool enhancedDeflate,
                   ProgressMonitor *monitor, LogBase &log);
