// The sealed scheme's section over arbitrary bytes: a payload whose marker, header and settings
// are fixed and whose section (and whatever follows) is the input. Parameters beyond the bounds
// must be refused before any memory is taken for them; a derivation the harness would wait for
// long (within the bounds but costly) is only parsed, not run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "archive/SealedHeader.h"
#include "archive/SimpleArchive.h"
#include "compress/MemoryDataSource.h"

namespace {
std::vector<uint8_t> prefix() {
  std::vector<uint8_t> out = {0x07, 0xD2, 0x6C, 0xBF, 0x22, 0x59, 0xAB, 0xAA, 0x00, 0x01, 0x00, 0x00, 1, 2};
  const char name[] = "xmlConfig";
  const char value[] = "<SfxConfig/>";
  out.push_back(sizeof name - 1);
  out.push_back(0);
  out.insert(out.end(), name, name + sizeof name - 1);
  out.push_back(sizeof value - 1);
  out.push_back(0);
  out.insert(out.end(), value, value + sizeof value - 1);
  out.push_back(0);
  out.push_back(0);
  return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::vector<uint8_t> head = prefix();
  SealedHeader parsed;
  const bool wellFormed = size >= SealedHeader::kSize && SealedHeader::parse(data, SealedHeader::kSize, parsed);
  if (wellFormed && !parsed.params.withinBounds()) std::abort();
  if (wellFormed && (parsed.params.memoryKiB > 256 || parsed.params.passes > 2)) return 0;

  std::vector<uint8_t> payload(head);
  payload.insert(payload.end(), data, data + size);
  MemoryDataSource source;
  source.setData(payload.data(), payload.size());
  SimpleArchive archive;
  archive.setSource(&source);
  LogNull log;
  StringBuffer error;
  if (!archive.findMarker(log, nullptr) || !archive.readInternalHeader(error, log, nullptr) ||
      !archive.readInternalArgs(log, nullptr) || archive.scheme() != PayloadScheme::Sodium) {
    std::abort();
  }
  archive.setPassword("fuzz", 4);
  DataBuffer cache;
  const bool opened = archive.verifyPassword(log, cache);
  // A malformed section is the payload's fault, never a wrong password's.
  if (!wellFormed && (opened || !archive.payloadDamaged())) std::abort();
  if (!opened) return 0;
  StringBuffer name;
  bool end = false, isDirectory = false, skipped = false;
  while (archive.unzipNextEntry(true, end, nullptr, name, isDirectory, nullptr, skipped, nullptr, log) && !end) {
  }
  return 0;
}
