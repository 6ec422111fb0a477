#pragma once

#include <cstdint>

struct CodePageByte {
  uint16_t codePoint;
  uint8_t byte;
};

// A single-byte Windows code page: bytes below 0x80 are ASCII; toUnicode maps 0x80..0xFF (0 for
// a byte the page leaves undefined); fromUnicode is sorted by code point.
struct SingleByteCodePage {
  uint32_t codePage;
  const uint16_t *toUnicode;
  const CodePageByte *fromUnicode;
  uint32_t fromUnicodeCount;
};

extern const SingleByteCodePage kSingleByteCodePages[];
extern const uint32_t kSingleByteCodePageCount;
