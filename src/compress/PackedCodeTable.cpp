#include "compress/PackedCodeTable.h"

#include <cstring>

#include "compress/DeflateCodes.h"

namespace packed_code {
namespace {
constexpr uint32_t kMaxCodeBits = 15;

// What an entry says besides its code's length, per symbol of each alphabet: looked up for
// every code of every dynamic block, so worked out once.
struct EntryTemplates {
  uint32_t literalLength[288];
  uint32_t distance[32];
  uint32_t codeLength[19];
};

const EntryTemplates &entryTemplates() {
  static const EntryTemplates templates = [] {
    EntryTemplates t{};
    for (uint32_t s = 0; s < 288; ++s) {
      t.literalLength[s] = s < 256    ? s << 16 | kLiteral
                           : s == 256 ? kEndOfBlock
                           : s > 285  ? kUnusable
                                      : uint32_t(deflate_codes::kLengthBase[s - 257]) << 16 |
                                           deflate_codes::kLengthExtraBits[s - 257];
    }
    for (uint32_t s = 0; s < 32; ++s) {
      t.distance[s] = s >= 30 ? kUnusable : deflate_codes::kDistanceBase[s] << 16 | deflate_codes::kDistanceExtraBits[s];
    }
    for (uint32_t s = 0; s < 19; ++s) t.codeLength[s] = s << 16;
    return t;
  }();
  return templates;
}

const uint32_t *templatesFor(Alphabet alphabet) {
  switch (alphabet) {
    case Alphabet::kLiteralLength:
      return entryTemplates().literalLength;
    case Alphabet::kDistance:
      return entryTemplates().distance;
    default:
      return entryTemplates().codeLength;
  }
}

// The code's bits in both of the fields that count them (an unusable symbol's entry carries them
// too; nothing reads them past the flag).
uint32_t withCode(uint32_t entryTemplate, uint32_t codeBits) { return entryTemplate + (codeBits << 8 | codeBits); }

constexpr uint8_t reversedByte(uint32_t b) {
  uint32_t r = 0;
  for (int i = 0; i < 8; ++i) r |= (b >> i & 1) << (7 - i);
  return uint8_t(r);
}
struct ByteReversal {
  uint8_t of[256];
  constexpr ByteReversal() : of() {
    for (uint32_t b = 0; b < 256; ++b) of[b] = reversedByte(b);
  }
};
constexpr ByteReversal kByteReversal;

// The code read least significant bit first, as the stream delivers it.
uint32_t reversed(uint32_t code, uint32_t bits) {
  const uint32_t both = uint32_t(kByteReversal.of[code & 0xFF]) << 8 | kByteReversal.of[code >> 8 & 0xFF];
  return both >> (16 - bits);
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
  const uint32_t *const templates = templatesFor(alphabet);
  table[0] = kUnusable;
  uint32_t code = 0, placed = 0;
  for (uint32_t bits = 1, filled = 1; bits <= rootBits; ++bits, code <<= 1) {
    std::memcpy(table + filled, table, filled * sizeof *table);
    filled *= 2;
    for (uint32_t n = 0; n < perLength[bits]; ++n, ++code) {
      table[reversed(code, bits)] = withCode(templates[sorted[placed++]], bits);
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
      const uint32_t entry = withCode(templates[symbol], bits - rootBits);
      for (uint32_t i = stream >> rootBits; i < (1u << subBits); i += 1u << (bits - rootBits))
        table[subStart + i] = entry;
    }
  }
  return true;
}
}  // namespace packed_code
