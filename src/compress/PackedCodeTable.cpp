#include "compress/PackedCodeTable.h"

#include <cstring>

#include "compress/DeflateCodes.h"

namespace packed_code {
namespace {
constexpr uint32_t kMaxCodeBits = 15;

uint32_t entryFor(Alphabet alphabet, uint32_t symbol, uint32_t codeBits) {
  const uint32_t code = codeBits << 8 | codeBits;
  switch (alphabet) {
    case Alphabet::kLiteralLength:
      if (symbol < 256) return symbol << 16 | kLiteral | code;
      if (symbol == 256) return kEndOfBlock | code;
      if (symbol > 285) return kUnusable;
      return uint32_t(deflate_codes::kLengthBase[symbol - 257]) << 16 |
             (code + deflate_codes::kLengthExtraBits[symbol - 257]);
    case Alphabet::kDistance:
      if (symbol >= 30) return kUnusable;
      return deflate_codes::kDistanceBase[symbol] << 16 | (code + deflate_codes::kDistanceExtraBits[symbol]);
    default:
      return symbol << 16 | code;
  }
}

// The code read least significant bit first, as the stream delivers it.
uint32_t reversed(uint32_t code, uint32_t bits) {
  code = (code & 0x5555) << 1 | (code >> 1 & 0x5555);
  code = (code & 0x3333) << 2 | (code >> 2 & 0x3333);
  code = (code & 0x0F0F) << 4 | (code >> 4 & 0x0F0F);
  code = (code & 0x00FF) << 8 | (code >> 8 & 0x00FF);
  return code >> (16 - bits);
}

void fill(uint32_t *from, uint32_t count, uint32_t entry) {
  for (uint32_t i = 0; i < count; ++i) from[i] = entry;
}
}  // namespace

bool build(Alphabet alphabet, const uint8_t *lengths, uint32_t count, uint32_t rootBits, uint32_t *table) {
  uint32_t perLength[kMaxCodeBits + 1] = {};
  for (uint32_t s = 0; s < count; ++s) ++perLength[lengths[s]];
  int32_t room = 1;
  for (uint32_t bits = 1; bits <= kMaxCodeBits; ++bits) {
    room = room * 2 - int32_t(perLength[bits]);
    if (room < 0) return false;
  }
  // Symbols by code length, then by symbol: the order canonical codes are handed out in.
  uint32_t start[kMaxCodeBits + 2] = {};
  for (uint32_t bits = 1; bits <= kMaxCodeBits; ++bits) start[bits + 1] = start[bits] + perLength[bits];
  uint16_t sorted[288];
  for (uint32_t s = 0; s < count; ++s)
    if (lengths[s] != 0) sorted[start[lengths[s]]++] = uint16_t(s);

  const uint32_t rootSize = 1u << rootBits;
  // A complete code leaves no entry unowned.
  const bool complete = room == 0;
  // Codes of each length not placed yet.
  uint32_t toPlace[kMaxCodeBits + 1];
  for (uint32_t bits = 0; bits <= kMaxCodeBits; ++bits) toPlace[bits] = perLength[bits];
  // The root, shortest codes first: the bits past a code's end may be anything, so once every
  // code of a length is placed the part filled so far is repeated to twice its size. Entries
  // nobody claims stay kUnusable; those below longer codes become links further on.
  table[0] = kUnusable;
  uint32_t code = 0, placed = 0;
  for (uint32_t bits = 1, filled = 1; bits <= rootBits; ++bits, code <<= 1) {
    std::memcpy(table + filled, table, filled * sizeof *table);
    filled *= 2;
    for (uint32_t n = 0; n < perLength[bits]; ++n, ++code) {
      table[reversed(code, bits)] = entryFor(alphabet, sorted[placed++], bits);
      --toPlace[bits];
    }
  }
  uint32_t nextFree = rootSize;
  uint32_t subPrefix = ~0u, subStart = 0, subBits = 0;
  for (uint32_t bits = rootBits + 1; bits <= kMaxCodeBits; ++bits, code <<= 1) {
    for (uint32_t n = 0; n < perLength[bits]; ++n, ++code) {
      const uint32_t symbol = sorted[placed++];
      const uint32_t stream = reversed(code, bits);
      --toPlace[bits];
      const uint32_t prefix = stream & (rootSize - 1);
      if (prefix != subPrefix) {
        // Canonical codes sharing a prefix come one after another: widen the sub-table until
        // the codes still to come would overflow it, and it holds all of this prefix's codes.
        subBits = bits - rootBits;
        int32_t left = 1 << subBits;
        for (uint32_t longer = bits; longer < kMaxCodeBits; ++longer, ++subBits) {
          left -= int32_t(toPlace[longer] + (longer == bits ? 1 : 0));
          if (left <= 0) break;
          left <<= 1;
        }
        subPrefix = prefix;
        subStart = nextFree;
        nextFree += 1u << subBits;
        if (!complete) fill(table + subStart, 1u << subBits, kUnusable);
        table[prefix] = subStart << 16 | kLink | subBits << 8 | rootBits;
      }
      const uint32_t entry = entryFor(alphabet, symbol, bits - rootBits);
      for (uint32_t i = stream >> rootBits; i < (1u << subBits); i += 1u << (bits - rootBits))
        table[subStart + i] = entry;
    }
  }
  return true;
}
}  // namespace packed_code
