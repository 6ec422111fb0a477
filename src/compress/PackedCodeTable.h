#pragma once

#include <cstdint>

// Canonical Huffman lookup tables for a decoder that always holds enough bits for a whole
// symbol with its extra bits. One 32-bit entry says everything a lookup needs:
//   bits 0-7    bits to drop: the code's bits at this level plus any extra bits
//   bits 8-11   the code's bits at this level (the extra bits sit just above them);
//               for a link, the index bits of the sub-table it leads to
//   bits 12-15  what the entry is (the flags below; none: a length or distance, or a
//               code-length symbol)
//   bits 16-31  the literal byte, the base of the length or distance, the code-length symbol,
//               or the first index of the linked sub-table
// Codes longer than the root bits continue in a sub-table indexed by the bits after the root.
namespace packed_code {
constexpr uint32_t kLiteral = 1u << 12;
constexpr uint32_t kLink = 1u << 13;
constexpr uint32_t kEndOfBlock = 1u << 14;
// No symbol owns the code, or its symbol means nothing here (literal/length 286 and 287,
// distance 30 and 31).
constexpr uint32_t kUnusable = 1u << 15;

enum class Alphabet { kLiteralLength, kDistance, kCodeLength };

constexpr uint32_t kLiteralRootBits = 11;
constexpr uint32_t kDistanceRootBits = 8;
constexpr uint32_t kCodeLengthRootBits = 7;
// Room for the root and for one sub-table per long code, however the lengths fall: every
// sub-table belongs to at least one code longer than the root and spans at most 15 - root bits.
constexpr uint32_t kLiteralEntries = (1u << kLiteralRootBits) + 288 * (1u << (15 - kLiteralRootBits));
constexpr uint32_t kDistanceEntries = (1u << kDistanceRootBits) + 32 * (1u << (15 - kDistanceRootBits));
constexpr uint32_t kCodeLengthEntries = 1u << kCodeLengthRootBits;

// Fills `table` for `count` code lengths (0..15) of `alphabet`, whose table has `rootBits` of
// root and room as above. False when the lengths over-subscribe the code space; an incomplete
// set builds, and the codes nobody owns are kUnusable.
bool build(Alphabet alphabet, const uint8_t *lengths, uint32_t count, uint32_t rootBits, uint32_t *table);

// At most 28; masked to 6 bits so that a shift by it needs no further masking.
inline uint32_t dropBits(uint32_t entry) { return entry & 63; }
// The value an entry carries plus its extra bits, taken from `bits` as they stand at the lookup.
// Length and distance entries have no flags, so bits 8-13 are the code's bits alone and the
// shift needs no mask. The mask below is written so that it becomes one bzhi where the
// processor has it (the drop count's byte is below 64).
inline uint32_t valueWithExtra(uint32_t entry, uint64_t bits) {
  const uint64_t taken = bits & ((uint64_t(1) << uint8_t(entry)) - 1);
  return (entry >> 16) + uint32_t(taken >> (entry >> 8 & 63));
}
// The sub-table entry a link leads to, for `bits` that start after the root bits.
inline uint32_t follow(const uint32_t *table, uint32_t link, uint64_t bits) {
  return table[(link >> 16) + uint32_t(bits & ((1u << (link >> 8 & 0xF)) - 1))];
}
}  // namespace packed_code
