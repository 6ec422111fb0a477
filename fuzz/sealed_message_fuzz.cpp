// Opening sealed messages of arbitrary bytes at a place the input chooses, the way the reader
// opens names, chunks and check values: nothing forged opens, and what is sealed opens at its
// own place only, whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/EntryCipher.h"
#include "base/DataBuffer.h"
#include "base/LogBase.h"

namespace {
const MessageSealer &sealer() {
  static MessageSealer instance;
  static bool ready = false;
  if (!ready) {
    KdfParams params;
    params.memoryKiB = KdfParams::kMinMemoryKiB;
    params.passes = KdfParams::kMinPasses;
    LogNull log;
    if (!instance.deriveKey("fuzz", 4, params, log)) std::abort();
    ready = true;
  }
  return instance;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 6 || size > 70000) return 0;
  EntryCipher cipher;
  cipher.setScheme(PayloadScheme::Sodium);
  cipher.sealer().copyKeyFrom(sealer());
  const uint32_t entry = data[0] | uint32_t(data[1]) << 8;
  const uint32_t chunk = data[2] | uint32_t(data[3]) << 8;
  const bool last = (data[4] & 1) != 0;
  data += 5;
  size -= 5;
  LogNull log;
  DataBuffer bytes;
  if (!bytes.append(data, uint32_t(size))) return 0;
  if (cipher.openChunk(entry, chunk, last, bytes, log)) std::abort();

  DataBuffer sealed;
  MessagePlace place;
  place.kind = MessageKind::Chunk;
  place.entry = entry;
  place.index = chunk;
  place.last = last;
  if (!sealer().seal(place, data, uint32_t(size), sealed)) std::abort();
  DataBuffer moved;
  moved.appendBuffer(sealed);
  if (cipher.openChunk(entry, chunk, !last, moved, log)) std::abort();
  if (!cipher.openChunk(entry, chunk, last, sealed, log)) std::abort();
  if (sealed.getSize() != size || std::memcmp(sealed.getData(), data, size) != 0) std::abort();
  return 0;
}
