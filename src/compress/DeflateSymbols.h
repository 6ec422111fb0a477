#pragma once

#include <cstdint>
#include <cstring>

// The hot loop of the chunk inflater: literal/length and distance symbols of one block, decoded
// with packed tables (see PackedCodeTable.h) straight into an output buffer whose bytes before
// the current position are the window.
namespace deflate_symbols {
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the bit reader loads input words little-endian");

inline uint64_t loadWord(const uint8_t *p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

inline void storeWord(uint8_t *p, uint64_t v) { std::memcpy(p, &v, 8); }

// The decoder's registers, handed in and back. On entry `in` is at most a few bytes past
// `inLimit`, and at least 32 input bytes follow `inLimit`; `out` may run up to 300 bytes past
// `outLimit`, and the buffer must have room for that.
struct Run {
  const uint8_t *in;
  const uint8_t *inLimit;
  uint64_t bits;
  uint32_t count;
  uint8_t *out;
  uint8_t *outLimit;
  // The stream's first byte, or anything a window or more before `out`.
  const uint8_t *history;
  const uint32_t *literals;
  const uint32_t *distances;
};

enum class Stop {
  kEndOfBlock,
  kInputLow,  // `in` passed `inLimit`
  kWriteDue,  // `out` reached `outLimit`
  kOdd,       // a code no symbol owns, a symbol without meaning, or a distance before the start
};

// Decodes until one of the stops; `run` then holds the state just after the last whole symbol.
Stop decode(Run &run);
}  // namespace deflate_symbols
