// Feeds arbitrary bytes to the inflater in every mode, whole and in pieces whose sizes come from
// the input itself, and checks that the split never changes the result: same success, same
// decoded bytes when it succeeds. In raw mode the chunk inflater's fast decoder must also agree
// with the resumable one in every detail: result, log lines, and each write to an output that
// may refuse one. Sanitizers catch any read outside the window, the buffer or the tables.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "compress/ChunkInflater.h"
#include "compress/InflateState.h"
#include "compress/OutputDataBuffer.h"
#include "compress/ProgressMonitor.h"

namespace {
struct Decoded {
  bool ok;
  bool finished;
  std::vector<uint8_t> bytes;
};

Decoded decode(const uint8_t *data, size_t size, uint8_t mode, uint8_t pieceSeed) {
  DataBuffer out;
  OutputDataBuffer sink(&out);
  LogNull log;
  InflateState inflater;
  if (!(mode & 1)) inflater.useRawDeflate();
  if (mode & 2) inflater.useEnhancedWindow();
  bool ok = true;
  size_t at = 0;
  uint32_t seed = pieceSeed;
  while (ok && at < size && !inflater.isFinished()) {
    size_t n = pieceSeed == 0 ? size - at : 1 + (seed = seed * 1103515245u + 12345u) % 97;
    if (n > size - at) n = size - at;
    ok = inflater.inflateBlock(data + at, uint32_t(n), sink, nullptr, log);
    at += n;
  }
  Decoded d{ok, inflater.isFinished(), {}};
  if (out.getSize()) d.bytes.assign(out.getData(), out.getData() + out.getSize());
  return d;
}
class RecordingLog : public LogBase {
 public:
  bool logError(const char *text) override {
    entries.push_back(std::string("error:") + text);
    return true;
  }
  bool logData(const char *tag, const char *value) override {
    entries.push_back(std::string(tag) + "=" + value);
    return true;
  }
  using LogBase::logData;
  std::vector<std::string> entries;
};

// Records every write; refuses write number `failAt` (-1: none).
class RecordingOutput : public Output {
 public:
  explicit RecordingOutput(int failAt) : m_failAt(failAt) {}
  bool rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *, LogBase &log) override {
    if (int(writes.size()) == m_failAt) {
      log.logError("refused");
      return false;
    }
    writes.push_back(length);
    bytes.insert(bytes.end(), data, data + length);
    return true;
  }
  std::vector<uint32_t> writes;
  std::vector<uint8_t> bytes;

 private:
  int m_failAt;
};

struct ChunkResult {
  bool ok;
  uint64_t produced;
  std::vector<std::string> log;
  std::vector<uint32_t> writes;
  std::vector<uint8_t> bytes;
  bool operator!=(const ChunkResult &o) const {
    return ok != o.ok || produced != o.produced || log != o.log || writes != o.writes || bytes != o.bytes;
  }
};

// A monitor makes the chunk inflater decode through InflateState alone.
ChunkResult decodeChunk(ChunkInflater &inflater, const uint8_t *data, size_t size, int failAt, bool careful) {
  RecordingOutput out(failAt);
  RecordingLog log;
  ProgressMonitor monitor;
  bool ok = inflater.inflate(data, uint32_t(size), out, careful ? &monitor : nullptr, log);
  return ChunkResult{ok, inflater.produced(), log.entries, out.writes, out.bytes};
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  uint8_t mode = data[0], pieceSeed = data[1] | 1;
  Decoded whole = decode(data + 2, size - 2, mode, 0);
  Decoded split = decode(data + 2, size - 2, mode, pieceSeed);
  if (whole.ok != split.ok || whole.finished != split.finished) std::abort();
  // A failed decode flushes what each piece produced, so only successful runs must agree byte for byte.
  if (whole.ok && whole.bytes != split.bytes) std::abort();
  if ((mode & 3) == 0) {
    static ChunkInflater inflater;
    int failAt = int(mode >> 2) % 4 - 1;
    ChunkResult fast = decodeChunk(inflater, data + 2, size - 2, failAt, false);
    ChunkResult careful = decodeChunk(inflater, data + 2, size - 2, failAt, true);
    if (fast != careful) std::abort();
    if (failAt < 0 && fast.ok != (whole.ok && whole.finished)) std::abort();
    if (fast.ok && fast.bytes != whole.bytes) std::abort();
  }
  return 0;
}
