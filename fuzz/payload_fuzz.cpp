// The payload reader over arbitrary bytes, in dry run: container, verifier and every entry.
#include <cstddef>
#include <cstdint>

#include "archive/SimpleArchive.h"
#include "compress/MemoryDataSource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MemoryDataSource source;
  source.setData(data, size);
  SimpleArchive archive;
  archive.setSource(&source);
  LogNull log;
  StringBuffer error;
  if (!archive.findMarker(log, nullptr) || !archive.readInternalHeader(error, log, nullptr) ||
      !archive.readInternalArgs(log, nullptr)) {
    return 0;
  }
  // A sealed payload's derivation costs what its section says, up to seconds: sealed_header_fuzz
  // drives that part with the cost held down.
  if (archive.isEncrypted() && archive.scheme() == PayloadScheme::Classic) {
    // The seed corpus is packed with this password.
    DataBuffer cache;
    archive.setPassword("fuzz", 4);
    // A wrong key still drives the decryption of every name and chunk.
    archive.verifyPassword(log, cache);
  }
  StringBuffer name;
  bool end = false, isDirectory = false, skipped = false;
  while (archive.unzipNextEntry(true, end, nullptr, name, isDirectory, nullptr, skipped, nullptr, log) &&
         !end) {
  }
  return 0;
}
