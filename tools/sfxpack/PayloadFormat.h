// Byte-level constants of the payload appended to the stub.
#pragma once

#include <cstdint>

namespace payload {

// The container marker, written as bytes 07 D2 6C BF 21 59 AB AA.
constexpr uint32_t kMarkerFirstHalf = 0xBF6CD207;
constexpr uint32_t kMarkerSecondHalf = 0xAAAB5921;
// The second half for a payload an earlier stub cannot read (bytes 22 59 AB AA): such a stub
// never finds the marker and stops before it reads an entry.
constexpr uint32_t kExtendedMarkerSecondHalf = 0xAAAB5922;
constexpr uint32_t kEntryMarker = 0x6D27E59B;
constexpr uint32_t kStoredFlag = 0x80000000u;
// In a sealed payload: the file's last chunk.
constexpr uint32_t kLastChunkFlag = 0x40000000u;
// A stored chunk (after encryption) must stay below this many bytes.
constexpr uint32_t kChunkLimit = 2048576;
constexpr uint32_t kDefaultChunkSize = 2000000;
// The reader stops after this many named values; the terminator must come before.
constexpr int kMaxNamedValues = 199;

enum EntryType : uint8_t { kEndEntry = 0, kDirectoryEntry = 1, kFileEntry = 2 };

}  // namespace payload
