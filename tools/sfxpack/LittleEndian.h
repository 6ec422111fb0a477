// The payload's integers: little-endian, of a fixed number of bytes.
#pragma once

#include <cstdint>
#include <string>

inline void appendLittleEndian(std::string &bytes, uint64_t value, int count) {
  for (int i = 0; i < count; ++i) bytes += char(value >> (8 * i));
}
