// What the benchmarks share: reading an input file whole and compressing a piece of it as the
// payload builder does (raw deflate, zlib level 6, 32 KiB window).
#pragma once

#include <zlib.h>

#include <cstdio>
#include <vector>

#include "base/DataBuffer.h"

inline bool readFile(const char *path, std::vector<uint8_t> &data) {
  FILE *f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  uint8_t block[1 << 16];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) data.insert(data.end(), block, block + n);
  std::fclose(f);
  return true;
}

inline bool deflateRaw(const uint8_t *data, size_t size, DataBuffer &out) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  std::vector<uint8_t> buffer(deflateBound(&z, uLong(size)));
  z.next_in = const_cast<Bytef *>(data);
  z.avail_in = uInt(size);
  z.next_out = buffer.data();
  z.avail_out = uInt(buffer.size());
  bool ok = deflate(&z, Z_FINISH) == Z_STREAM_END && out.append(buffer.data(), uint32_t(z.total_out));
  deflateEnd(&z);
  return ok;
}
