// Feeds arbitrary bytes to the inflater in every mode, whole and in pieces whose sizes come from
// the input itself, and checks that the split never changes the result: same success, same
// decoded bytes when it succeeds. In raw mode the chunk inflater's fast decoder must also agree
// with the resumable one in every detail: result, log lines, and each write to an output that
// may refuse one. Sanitizers catch any read outside the window, the buffer or the tables.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ChunkRun.h"
#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "compress/InflateState.h"
#include "compress/OutputDataBuffer.h"

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
    std::vector<uint8_t> stream(data + 2, data + size);
    ChunkRun fast = runChunk(inflater, stream, Path::kFast, failAt);
    if (!(fast == runChunk(inflater, stream, Path::kCareful, failAt))) std::abort();
    if (failAt < 0 && fast.ok != (whole.ok && whole.finished)) std::abort();
    if (fast.ok && fast.bytes != whole.bytes) std::abort();
  }
  return 0;
}
