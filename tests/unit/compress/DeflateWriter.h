#pragma once

#include <cstdint>
#include <vector>

// Builds deflate streams bit by bit, to make the malformed ones no compressor would write.
class DeflateWriter {
 public:
  void bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) put((value >> i) & 1);
  }
  // Huffman codes go most significant bit first.
  void code(uint32_t value, int length) {
    for (int i = length - 1; i >= 0; --i) put((value >> i) & 1);
  }
  void blockHeader(bool last, int type) {
    bits(last ? 1 : 0, 1);
    bits(uint32_t(type), 2);
  }
  // A symbol of the fixed literal/length code.
  void fixedSymbol(int symbol) {
    if (symbol < 144)
      code(0x30 + symbol, 8);
    else if (symbol < 256)
      code(0x190 + symbol - 144, 9);
    else if (symbol < 280)
      code(symbol - 256, 7);
    else
      code(0xC0 + symbol - 280, 8);
  }
  void fixedDistance(int symbol) { code(uint32_t(symbol), 5); }
  void alignToByte() {
    while (m_count % 8) put(0);
  }
  void byte(uint8_t b) { bits(b, 8); }
  std::vector<uint8_t> bytes() const { return m_bytes; }

 private:
  void put(uint32_t bit) {
    if (m_count % 8 == 0) m_bytes.push_back(0);
    m_bytes.back() |= uint8_t(bit << (m_count % 8));
    ++m_count;
  }
  std::vector<uint8_t> m_bytes;
  uint64_t m_count = 0;
};
