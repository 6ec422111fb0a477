#include "compress/DeflateSymbols.h"

#include "compress/PackedCodeTable.h"

namespace deflate_symbols {
namespace {
using namespace packed_code;

struct Block {
  uint64_t low, high;
};
inline Block loadBlock(const uint8_t *p) {
  Block b;
  std::memcpy(&b, p, 16);
  return b;
}
inline void storeBlock(uint8_t *p, const Block &b) { std::memcpy(p, &b, 16); }

// Copies a match in whole words. It may write up to 31 bytes past the match's end, which the
// buffer's slack allows; bytes past the end are overwritten by what follows. Most matches are
// short: the first 32 bytes go without a loop.
__attribute__((always_inline)) inline void copyMatch(uint8_t *out, uint32_t distance, uint32_t length) {
  const uint8_t *src = out - distance;
  uint8_t *const end = out + length;
  if (distance >= 16) {
    // Two 16-byte moves where neither read reaches into the other's write.
    storeBlock(out, loadBlock(src));
    storeBlock(out + 16, loadBlock(src + 16));
    while ((out += 32) < end) {
      src += 32;
      storeBlock(out, loadBlock(src));
      storeBlock(out + 16, loadBlock(src + 16));
    }
    return;
  }
  if (distance >= 8) {
    // Every word read lies behind the word being written, so overlap repeats correctly.
    storeWord(out, loadWord(src));
    storeWord(out + 8, loadWord(src + 8));
    storeWord(out + 16, loadWord(src + 16));
    storeWord(out + 24, loadWord(src + 24));
    while ((out += 32) < end) {
      src += 32;
      storeWord(out, loadWord(src));
      storeWord(out + 8, loadWord(src + 8));
      storeWord(out + 16, loadWord(src + 16));
      storeWord(out + 24, loadWord(src + 24));
    }
    return;
  }
  if (distance == 1) {
    const uint64_t run = 0x0101010101010101ull * *src;
    do {
      storeWord(out, run);
      storeWord(out + 8, run);
      storeWord(out + 16, run);
      storeWord(out + 24, run);
      out += 32;
    } while (out < end);
    return;
  }
  // A pattern of 2 to 7 bytes: lay down its first 8 bytes one at a time, then whole words from
  // the nearest multiple of the period that is at least a word back.
  static constexpr uint8_t kStride[8] = {0, 0, 8, 9, 8, 10, 12, 14};
  for (int i = 0; i < 8; ++i) out[i] = src[i];
  const uint32_t stride = kStride[distance];
  for (uint8_t *p = out + 8; p < end; p += 8) storeWord(p, loadWord(p - stride));
}

// Written once, compiled twice: for any x86-64, and for processors with BMI2, whose
// variable shifts and bit extraction shorten every step.
__attribute__((always_inline)) inline Stop decodeSymbols(Run &run) {
  constexpr uint64_t kLiteralMask = (1u << kLiteralRootBits) - 1;
  constexpr uint64_t kDistanceMask = (1u << kDistanceRootBits) - 1;
  const uint8_t *in = run.in;
  const uint8_t *const inLimit = run.inLimit;
  uint64_t bits = run.bits;
  // Only the low six bits of `count` mean anything: whole entries are subtracted from it (their
  // low byte is the bits to drop), which saves masking the drop count off on every symbol.
  uint32_t count = run.count;
  uint8_t *out = run.out;
  uint8_t *const due = run.outLimit;
  const uint8_t *const history = run.history;
  const uint32_t *const literals = run.literals;
  const uint32_t *const distances = run.distances;
  Stop stop;
  // Each step leaves at least 56 bits held and the literal/length entry for them looked up:
  // the lookup's latency then overlaps the step before it. A refill leaves all 64 bits of
  // `bits` filled from the input (those above `count` are loaded again, the same, next time),
  // and no step takes more than 48 of them, so a step can look the next entry up before its
  // refill: the refill only adds bits above those the lookup used. The refills and literal steps are
  // spelled out where they occur: written as lambdas they cost some 4% more instructions.
  bits |= loadWord(in) << count;
  in += (63 - count) >> 3;
  count |= 56;
  uint32_t entry = literals[bits & kLiteralMask];
  for (;;) {
    if (__builtin_expect(in > inLimit, 0)) {
      stop = Stop::kInputLow;
      break;
    }
    if (__builtin_expect(out >= due, 0)) {
      stop = Stop::kWriteDue;
      break;
    }
    if (entry & kLiteral) {
      // Three literals take at most 45 of the 56 bits.
      bits >>= dropBits(entry);
      count -= entry;
      *out++ = uint8_t(entry >> 16);
      entry = literals[bits & kLiteralMask];
      if (entry & kLiteral) {
        bits >>= dropBits(entry);
        count -= entry;
        *out++ = uint8_t(entry >> 16);
        entry = literals[bits & kLiteralMask];
        if (entry & kLiteral) {
          bits >>= dropBits(entry);
          count -= entry;
          *out++ = uint8_t(entry >> 16);
          entry = literals[bits & kLiteralMask];
          bits |= loadWord(in) << (count & 63);
          in += (63 - (count & 63)) >> 3;
          count |= 56;
          continue;
        }
      }
      bits |= loadWord(in) << (count & 63);
      in += (63 - (count & 63)) >> 3;
      count |= 56;
    }
    if (__builtin_expect(entry & (kLink | kEndOfBlock | kUnusable), 0)) {
      if (entry & kLink) {
        bits >>= kLiteralRootBits;
        count -= kLiteralRootBits;
        entry = follow(literals, entry, bits);
        if (entry & kLiteral) {
          bits >>= dropBits(entry);
          count -= entry;
          *out++ = uint8_t(entry >> 16);
          entry = literals[bits & kLiteralMask];
          bits |= loadWord(in) << (count & 63);
          in += (63 - (count & 63)) >> 3;
          count |= 56;
          continue;
        }
      }
      if (entry & kEndOfBlock) {
        bits >>= dropBits(entry);
        count -= entry;
        stop = Stop::kEndOfBlock;
        break;
      }
      if (entry & (kUnusable | kLink)) {
        stop = Stop::kOdd;
        break;
      }
    }
    // A length and a distance with their extra bits take at most 48 bits.
    const uint32_t length = valueWithExtra(entry, bits);
    bits >>= dropBits(entry);
    count -= entry;
    entry = distances[bits & kDistanceMask];
    if (__builtin_expect(entry & (kLink | kUnusable), 0)) {
      if (entry & kLink) {
        bits >>= kDistanceRootBits;
        count -= kDistanceRootBits;
        entry = follow(distances, entry, bits);
      }
      if (entry & (kLink | kUnusable)) {
        stop = Stop::kOdd;
        break;
      }
    }
    const uint32_t distance = valueWithExtra(entry, bits);
    bits >>= dropBits(entry);
    count -= entry;
    entry = literals[bits & kLiteralMask];
    // Only the stream's start lies less than a window back.
    if (__builtin_expect(distance > uint32_t(out - history), 0)) {
      stop = Stop::kOdd;
      break;
    }
    bits |= loadWord(in) << (count & 63);
    in += (63 - (count & 63)) >> 3;
    count |= 56;
    copyMatch(out, distance, length);
    out += length;
  }
  run.in = in;
  run.bits = bits;
  run.count = count & 63;
  run.out = out;
  return stop;
}

#if defined(__x86_64__)
__attribute__((target("bmi2"))) Stop decodeWithBmi2(Run &run) { return decodeSymbols(run); }
#endif
Stop decodePlain(Run &run) { return decodeSymbols(run); }

using Decoder = Stop (*)(Run &);
Decoder chooseDecoder() {
#if defined(__x86_64__)
  if (__builtin_cpu_supports("bmi2")) return decodeWithBmi2;
#endif
  return decodePlain;
}
}  // namespace

Stop decode(Run &run) {
  static const Decoder decoder = chooseDecoder();
  return decoder(run);
}
}  // namespace deflate_symbols
