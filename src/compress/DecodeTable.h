#pragma once

#include <cstdint>

class DecodeTable;

// One slot of a decode table level: either a decoded symbol, or the sub-table that resolves the
// longer codes sharing this prefix, or nothing (a code no symbol owns).
struct DecodeEntry {
  DecodeTable *sub;
  int16_t symbol;  // -1 when there is none or when a sub-table follows
  uint8_t bits;    // bits this level consumes
};

// Multi-level Huffman lookup table for codes delivered least significant bit first: a root of at
// most 9 bits and sub-tables of at most 7 bits. Length sets are taken as they come: an
// over-subscribed or incomplete set still builds, and codes nobody owns decode as invalid.
class DecodeTable {
 public:
  static constexpr int kNeedMoreBits = -2;
  static constexpr int kInvalidCode = -1;

  // Builds the table for `count` code lengths (0 to 15 each); nullptr when memory runs out.
  static DecodeTable *build(const uint8_t *lengths, uint32_t count);
  ~DecodeTable();
  DecodeTable(const DecodeTable &) = delete;
  DecodeTable &operator=(const DecodeTable &) = delete;

  // decode() for a caller holding at least 15 bits, which every code fits in: two lookups at most.
  int decodeFull(uint64_t bits, uint32_t &used) const {
    const DecodeEntry *entry = &m_entries[bits & m_mask];
    used = entry->bits;
    if (entry->symbol >= 0 || entry->sub == nullptr) return entry->symbol;
    const DecodeTable *sub = entry->sub;
    entry = &sub->m_entries[(bits >> used) & sub->m_mask];
    if (entry->symbol < 0 && entry->sub != nullptr) return decode(bits, 64, used);
    used += entry->bits;
    return entry->symbol;
  }

  // Decodes one symbol from the low `available` bits of `bits`. Returns the symbol and sets
  // `used` to the bits it took, or returns kNeedMoreBits / kInvalidCode.
  int decode(uint64_t bits, uint32_t available, uint32_t &used) const {
    const DecodeTable *table = this;
    uint32_t consumed = 0;
    for (;;) {
      const DecodeEntry &entry = table->m_entries[(bits >> consumed) & table->m_mask];
      if (available < consumed + entry.bits) return kNeedMoreBits;
      consumed += entry.bits;
      if (entry.symbol >= 0) {
        used = consumed;
        return entry.symbol;
      }
      if (entry.sub == nullptr) return kInvalidCode;
      table = entry.sub;
    }
  }

 private:
  DecodeTable() = default;
  // Fills one level from `symbols` (those that may reach it), in ascending symbol order.
  static DecodeTable *buildLevel(const uint8_t *lengths, const uint16_t *reversedCodes,
                                 const uint16_t *symbols, uint32_t symbolCount, uint32_t prefix,
                                 uint32_t consumed, uint32_t bits);

  uint32_t m_mask = 0;
  DecodeEntry *m_entries = nullptr;
};
