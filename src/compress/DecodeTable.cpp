#include "compress/DecodeTable.h"

#include <new>

namespace {
constexpr uint32_t kMaxCodeLength = 15;
constexpr uint32_t kRootBits = 9;
constexpr uint32_t kSubBits = 7;
constexpr uint32_t kMaxSymbols = 320;

uint32_t reverseBits(uint32_t code, uint32_t length) {
  uint32_t reversed = 0;
  for (uint32_t i = 0; i < length; ++i) {
    reversed = (reversed << 1) | (code & 1);
    code >>= 1;
  }
  return reversed;
}
}  // namespace

DecodeTable::~DecodeTable() {
  if (m_entries == nullptr) return;
  for (uint32_t i = 0; i <= m_mask; ++i) delete m_entries[i].sub;
  delete[] m_entries;
}

DecodeTable *DecodeTable::build(const uint8_t *lengths, uint32_t count) {
  if (count > kMaxSymbols) return nullptr;
  uint32_t lengthCount[kMaxCodeLength + 1] = {};
  uint32_t longest = 0;
  for (uint32_t s = 0; s < count; ++s) {
    uint32_t length = lengths[s] & 15;
    ++lengthCount[length];
    if (length > longest) longest = length;
  }
  uint32_t nextCode[kMaxCodeLength + 2] = {};
  for (uint32_t length = 1; length < kMaxCodeLength; ++length) {
    nextCode[length + 1] = (nextCode[length] + lengthCount[length]) << 1;
  }
  uint16_t reversed[kMaxSymbols];
  uint16_t coded[kMaxSymbols];
  uint32_t codedCount = 0;
  for (uint32_t s = 0; s < count; ++s) {
    uint32_t length = lengths[s] & 15;
    reversed[s] = length ? uint16_t(reverseBits(nextCode[length]++, length)) : 0;
    if (length) coded[codedCount++] = uint16_t(s);
  }
  return buildLevel(lengths, reversed, coded, codedCount, 0, 0, longest < kRootBits ? longest : kRootBits);
}

DecodeTable *DecodeTable::buildLevel(const uint8_t *lengths, const uint16_t *reversedCodes,
                                     const uint16_t *symbols, uint32_t symbolCount, uint32_t prefix,
                                     uint32_t consumed, uint32_t bits) {
  DecodeTable *table = new (std::nothrow) DecodeTable;
  if (table == nullptr) return nullptr;
  uint32_t size = 1u << bits;
  table->m_entries = new (std::nothrow) DecodeEntry[size];
  if (table->m_entries == nullptr) {
    delete table;
    return nullptr;
  }
  table->m_mask = size - 1;
  for (uint32_t i = 0; i < size; ++i) table->m_entries[i] = DecodeEntry{nullptr, -1, 0};

  uint32_t prefixMask = (1u << consumed) - 1;
  // Only codes longer than this level reach the levels below it.
  uint16_t longer[kMaxSymbols];
  uint32_t longerCount = 0;
  for (uint32_t k = 0; k < symbolCount; ++k) {
    uint32_t s = symbols[k];
    uint32_t length = lengths[s] & 15;
    if (length <= consumed || (reversedCodes[s] & prefixMask) != prefix) continue;
    if (length > consumed + bits) longer[longerCount++] = uint16_t(s);
    uint32_t ownBits = length - consumed;
    for (uint32_t i = (reversedCodes[s] >> consumed) & table->m_mask; i < size; i += 1u << ownBits) {
      DecodeEntry &entry = table->m_entries[i];
      entry.symbol = int16_t(s);
      if (entry.bits < ownBits) entry.bits = uint8_t(ownBits);
    }
  }
  // Slots claimed by codes longer than this level resolve the rest of those codes one level down.
  for (uint32_t i = 0; i < size; ++i) {
    DecodeEntry &entry = table->m_entries[i];
    if (entry.bits <= bits) continue;
    uint32_t subBits = entry.bits - bits < kSubBits ? entry.bits - bits : kSubBits;
    entry.symbol = -1;
    entry.bits = uint8_t(bits);
    entry.sub = buildLevel(lengths, reversedCodes, longer, longerCount, prefix | i << consumed,
                           consumed + bits, subBits);
    if (entry.sub == nullptr) {
      delete table;
      return nullptr;
    }
  }
  return table;
}
