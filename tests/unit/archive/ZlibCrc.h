#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>

// The expected CRC-32 of `s`, from zlib rather than from the code under test.
inline uint32_t zlibCrc(const std::string &s) {
  return uint32_t(::crc32(0L, reinterpret_cast<const Bytef *>(s.data()), uInt(s.size())));
}
