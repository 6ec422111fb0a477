#pragma once

#include <cstdint>

// The fixed values of an entry record in the payload.
namespace entry_format {
constexpr uint32_t kMarker = 0x6D27E59B;
// Set in a size word: the chunk is stored, not deflated.
constexpr uint32_t kStoredFlag = 0x80000000u;
enum : uint8_t { kEndEntry = 0, kDirectoryEntry = 1, kFileEntry = 2 };
// Marker, type, name length, time and attributes around the name.
constexpr uint32_t kHeaderBytes = 19;
}  // namespace entry_format
