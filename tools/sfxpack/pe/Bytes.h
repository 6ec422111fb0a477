// Little-endian access to a file held in memory. The reads check their bounds, so that the
// parsers of hostile input (a stub, an .ico) say "truncated" instead of reading past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

// True when [offset, offset + size) lies inside `total`; free of overflow for any values.
inline bool inRange(uint64_t offset, uint64_t size, uint64_t total) {
  return offset <= total && size <= total - offset;
}

inline bool readU16(const Bytes &b, uint64_t offset, uint16_t &value) {
  if (!inRange(offset, 2, b.size())) return false;
  value = uint16_t(b[offset] | b[offset + 1] << 8);
  return true;
}

inline bool readU32(const Bytes &b, uint64_t offset, uint32_t &value) {
  if (!inRange(offset, 4, b.size())) return false;
  value = uint32_t(b[offset]) | uint32_t(b[offset + 1]) << 8 | uint32_t(b[offset + 2]) << 16 |
          uint32_t(b[offset + 3]) << 24;
  return true;
}

// Writes into bytes that exist already; the caller has checked the offset.
inline void putU16(Bytes &b, size_t offset, uint16_t value) {
  b[offset] = uint8_t(value);
  b[offset + 1] = uint8_t(value >> 8);
}

inline void putU32(Bytes &b, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) b[offset + i] = uint8_t(value >> (8 * i));
}

inline void appendU16(Bytes &b, uint16_t value) {
  b.push_back(uint8_t(value));
  b.push_back(uint8_t(value >> 8));
}

inline void appendU32(Bytes &b, uint32_t value) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(value >> (8 * i)));
}

inline void padTo(Bytes &b, size_t alignment) {
  while (b.size() % alignment != 0) b.push_back(0);
}

inline uint64_t alignUp(uint64_t value, uint64_t alignment) {
  return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}
