#include "base/EncodingConvert.h"

#include "base/CodePageTables.h"
#include "base/DataBuffer.h"
#include "base/LogBase.h"

namespace {
constexpr uint32_t kReplacement = 0xFFFD;

const SingleByteCodePage *findSingleBytePage(uint32_t codePage) {
  for (uint32_t i = 0; i < kSingleByteCodePageCount; ++i) {
    if (kSingleByteCodePages[i].codePage == codePage) return &kSingleByteCodePages[i];
  }
  return nullptr;
}

bool inRange(uint8_t b, uint8_t low, uint8_t high) { return b >= low && b <= high; }

// One character of UTF-8. An invalid sequence gives U+FFFD and consumes its longest valid
// start (at least one byte), the way Unicode recommends and Python's codecs do.
bool decodeUtf8(const uint8_t *p, uint32_t count, uint32_t &pos, uint32_t &codePoint) {
  uint8_t lead = p[pos++];
  if (lead < 0x80) {
    codePoint = lead;
    return true;
  }
  uint32_t length;
  uint8_t low = 0x80, high = 0xBF;
  if (inRange(lead, 0xC2, 0xDF)) {
    length = 2;
  } else if (inRange(lead, 0xE0, 0xEF)) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (inRange(lead, 0xF0, 0xF4)) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    codePoint = kReplacement;
    return false;
  }
  uint32_t value = lead & (0xFF >> (length + 1));
  for (uint32_t i = 1; i < length; ++i, low = 0x80, high = 0xBF) {
    if (pos >= count || !inRange(p[pos], low, high)) {
      codePoint = kReplacement;
      return false;
    }
    value = value << 6 | (p[pos++] & 0x3F);
  }
  codePoint = value;
  return true;
}

// One character of UTF-16LE; a lone surrogate or an odd last byte gives U+FFFD.
bool decodeUtf16(const uint8_t *p, uint32_t count, uint32_t &pos, uint32_t &codePoint) {
  if (pos + 2 > count) {
    pos = count;
    codePoint = kReplacement;
    return false;
  }
  uint32_t unit = p[pos] | uint32_t(p[pos + 1]) << 8;
  pos += 2;
  codePoint = unit;
  if (unit < 0xD800 || unit > 0xDFFF) return true;
  if (unit <= 0xDBFF && pos + 2 <= count) {
    uint32_t next = p[pos] | uint32_t(p[pos + 1]) << 8;
    if (next >= 0xDC00 && next <= 0xDFFF) {
      pos += 2;
      codePoint = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
      return true;
    }
  }
  codePoint = kReplacement;
  return false;
}

// Bytes of a single-byte page; a page we have no table for keeps only its ASCII bytes.
bool decodeSingleByte(const SingleByteCodePage *page, const uint8_t *p, uint32_t &pos, uint32_t &codePoint) {
  uint8_t b = p[pos++];
  codePoint = b < 0x80 ? b : page ? page->toUnicode[b - 0x80] : 0;
  if (codePoint != 0 || b == 0) return true;
  codePoint = kReplacement;
  return false;
}

bool encodeUtf8(uint32_t c, DataBuffer &out) {
  uint8_t bytes[4];
  uint32_t n;
  if (c < 0x80) {
    bytes[0] = uint8_t(c);
    n = 1;
  } else if (c < 0x800) {
    bytes[0] = uint8_t(0xC0 | c >> 6);
    bytes[1] = uint8_t(0x80 | (c & 0x3F));
    n = 2;
  } else if (c < 0x10000) {
    bytes[0] = uint8_t(0xE0 | c >> 12);
    bytes[1] = uint8_t(0x80 | (c >> 6 & 0x3F));
    bytes[2] = uint8_t(0x80 | (c & 0x3F));
    n = 3;
  } else {
    bytes[0] = uint8_t(0xF0 | c >> 18);
    bytes[1] = uint8_t(0x80 | (c >> 12 & 0x3F));
    bytes[2] = uint8_t(0x80 | (c >> 6 & 0x3F));
    bytes[3] = uint8_t(0x80 | (c & 0x3F));
    n = 4;
  }
  return out.append(bytes, n);
}

bool encodeUtf16(uint32_t c, DataBuffer &out) {
  uint8_t bytes[4];
  if (c < 0x10000) {
    bytes[0] = uint8_t(c);
    bytes[1] = uint8_t(c >> 8);
    return out.append(bytes, 2);
  }
  uint32_t high = 0xD800 + ((c - 0x10000) >> 10), low = 0xDC00 + ((c - 0x10000) & 0x3FF);
  bytes[0] = uint8_t(high);
  bytes[1] = uint8_t(high >> 8);
  bytes[2] = uint8_t(low);
  bytes[3] = uint8_t(low >> 8);
  return out.append(bytes, 4);
}

// Sets `mapped` false when the page has no byte for the character; "?" stands in for it.
bool encodeSingleByte(const SingleByteCodePage *page, uint32_t c, DataBuffer &out, bool &mapped) {
  uint8_t b = '?';
  mapped = c < 0x80;
  if (mapped) {
    b = uint8_t(c);
  } else if (page != nullptr) {
    uint32_t lo = 0, hi = page->fromUnicodeCount;
    while (lo < hi) {
      uint32_t mid = (lo + hi) / 2;
      if (page->fromUnicode[mid].codePoint < c) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    mapped = lo < page->fromUnicodeCount && page->fromUnicode[lo].codePoint == c;
    if (mapped) b = page->fromUnicode[lo].byte;
  }
  return out.appendByte(b);
}

// The most bytes one input byte can turn into, for sizing the output once.
uint32_t growthFactor(uint32_t from, uint32_t to) {
  if (to == EncodingConvert::kUtf16Le) return 2;
  if (to == EncodingConvert::kUtf8 && from != EncodingConvert::kUtf16Le) return 3;
  return 2;
}
}  // namespace

bool EncodingConvert::isSupported(uint32_t codePage) {
  return codePage == kUtf8 || codePage == kUtf16Le || findSingleBytePage(codePage) != nullptr;
}

bool EncodingConvert::convert(uint32_t fromCodePage, uint32_t toCodePage, const void *bytes, uint32_t count,
                              DataBuffer &out, LogBase &log) {
  if (count == 0) return true;
  if (bytes == nullptr) return false;
  const SingleByteCodePage *fromPage = findSingleBytePage(fromCodePage);
  const SingleByteCodePage *toPage = findSingleBytePage(toCodePage);
  uint64_t room = uint64_t(out.getSize()) + uint64_t(count) * growthFactor(fromCodePage, toCodePage) + 4;
  if (room <= 0xFFFFFFFFu) out.reserve(uint32_t(room));

  const uint8_t *p = static_cast<const uint8_t *>(bytes);
  uint32_t pos = 0, invalid = 0, unmapped = 0;
  while (pos < count) {
    uint32_t c;
    bool valid;
    if (fromCodePage == kUtf8) {
      valid = decodeUtf8(p, count, pos, c);
    } else if (fromCodePage == kUtf16Le) {
      valid = decodeUtf16(p, count, pos, c);
    } else {
      valid = decodeSingleByte(fromPage, p, pos, c);
    }
    if (!valid) ++invalid;
    bool mapped = true, appended;
    if (toCodePage == kUtf8) {
      appended = encodeUtf8(c, out);
    } else if (toCodePage == kUtf16Le) {
      appended = encodeUtf16(c, out);
    } else {
      appended = encodeSingleByte(toPage, c, out, mapped);
    }
    if (!appended) {
      log.logError("Out of memory converting text.");
      return false;
    }
    if (valid && !mapped) ++unmapped;
  }
  if (invalid == 0 && unmapped == 0) return true;
  LogContextExitor context(log, "EncConvert");
  if (!isSupported(fromCodePage) || !isSupported(toCodePage)) log.logError("Unsupported code page.");
  log.logDataInt("fromCodePage", fromCodePage);
  log.logDataInt("toCodePage", toCodePage);
  if (invalid) log.logDataInt("numInvalidInput", invalid);
  if (unmapped) log.logDataInt("numUnconvertible", unmapped);
  return false;
}
