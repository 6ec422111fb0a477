#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "unit/compress/DeflateWriter.h"

// A final (or not) fixed-Huffman block holding `text` as literals.
inline std::vector<uint8_t> deflateLiterals(const std::string &text, bool final = true) {
  DeflateWriter w;
  w.blockHeader(final, 1);
  for (unsigned char c : text) w.fixedSymbol(c);
  w.fixedSymbol(256);
  return w.bytes();
}

// One zero byte followed by `count` more through length-258 matches at distance 1.
inline std::vector<uint8_t> deflateZeros(uint32_t count) {
  DeflateWriter w;
  w.blockHeader(true, 1);
  w.fixedSymbol(0);
  for (; count >= 258; count -= 258) {
    w.fixedSymbol(285);
    w.fixedDistance(0);
  }
  for (; count > 0; --count) w.fixedSymbol(0);
  w.fixedSymbol(256);
  return w.bytes();
}
