// zlib as the independent reference of the inflate tests: its deflater makes the streams, its
// inflater gives the verdict on damaged ones.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

// `windowBits` 9..15; zlib-wrapped or raw deflate; `memLevel` 1 makes small blocks.
inline std::vector<uint8_t> zlibCompress(const std::vector<uint8_t> &data, int level, int strategy,
                                         int windowBits, bool zlibWrapped, int memLevel = 8) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, zlibWrapped ? windowBits : -windowBits, memLevel, strategy),
            Z_OK);
  std::vector<uint8_t> out(deflateBound(&z, uLong(data.size())) + 64);
  z.next_in = const_cast<Bytef *>(data.data());
  z.avail_in = uInt(data.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// zlib's verdict on a raw stream: the output when it decodes to its end, nothing otherwise.
inline bool zlibDecodes(const std::vector<uint8_t> &stream, std::vector<uint8_t> &out) {
  z_stream z{};
  inflateInit2(&z, -15);
  out.assign(1 << 20, 0);
  z.next_in = const_cast<Bytef *>(stream.data());
  z.avail_in = uInt(stream.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  int rc = inflate(&z, Z_FINISH);
  out.resize(z.total_out);
  inflateEnd(&z);
  return rc == Z_STREAM_END;
}
