#pragma once

#include <cstdint>

// The fixed values of an entry record in the payload.
namespace entry_format {
constexpr uint32_t kMarker = 0x6D27E59B;
// Set in a size word: the chunk is stored, not deflated.
constexpr uint32_t kStoredFlag = 0x80000000u;
// Set in a size word of a sealed payload: the file's last chunk. Its place says so too, so that
// a file cut short, or carrying chunks past its end, fails. (Classic payloads have no such bit:
// there it makes the size too large.)
constexpr uint32_t kLastChunkFlag = 0x40000000u;
inline uint32_t chunkBytes(uint32_t sizeWord, bool sealed) {
  return sizeWord & ~(kStoredFlag | (sealed ? kLastChunkFlag : 0));
}
enum : uint8_t { kEndEntry = 0, kDirectoryEntry = 1, kFileEntry = 2 };
// Marker, type, name length, time and attributes around the name.
constexpr uint32_t kHeaderBytes = 19;
}  // namespace entry_format
