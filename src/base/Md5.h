#pragma once

#include <cstdint>

#include "base/QuorvelObject.h"

class StringBuffer;

// MD5 message digest (RFC 1321).
class Md5 : public QuorvelObject {
 public:
  Md5() { reset(); }

  void reset();
  void update(const void *data, uint32_t length);
  void final(uint8_t digest[16]);

  static void digest(const void *data, uint32_t length, uint8_t digest[16]);
  static void digest(const StringBuffer &text, uint8_t digest[16]);

 private:
  void transform(const uint8_t block[64]);

  uint32_t m_state[4];
  uint64_t m_bitCount;
  uint8_t m_block[64];
};
