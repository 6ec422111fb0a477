#include "base/XString.h"

#include <cstring>

#include "base/EncodingConvert.h"
#include "base/LogBase.h"
#include "platform/win32.h"

namespace {
const char kUtf8Bom[] = "\xEF\xBB\xBF";

uint32_t textLength(const char *text) { return text ? uint32_t(std::strlen(text)) : 0; }

uint32_t unitCount(const char16_t *text) {
  uint32_t n = 0;
  if (text != nullptr) {
    while (text[n] != 0) ++n;
  }
  return n;
}

// Skips a leading byte-order mark: the UTF-8 form never starts with one.
const char *skipBom(const char *text, uint32_t &count) {
  if (text != nullptr && count >= 3 && std::memcmp(text, kUtf8Bom, 3) == 0) {
    count -= 3;
    return text + 3;
  }
  return text;
}

const char *skipBom(const char *text) {
  uint32_t count = textLength(text);
  return skipBom(text, count);
}

bool isUtf8Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }
}  // namespace

XString::XString()
    : m_ansiStatus(kAnsiUnknown), m_utf16Current(true), m_ansiCurrent(true), m_utf8Current(true) {}

bool XString::convertTo(uint32_t from, uint32_t to, const void *bytes, uint32_t count, StringBuffer &out) {
  out.clear();
  if (count == 0) return true;
  DataBuffer converted;
  LogNull log;
  bool ok = EncodingConvert().convert(from, to, bytes, count, converted, log);
  if (!converted.append("", 1) || !out.takeOverData(converted)) return false;
  out.shrink();
  return ok;
}

bool XString::convertToUtf16(uint32_t from, const void *bytes, uint32_t count, DataBuffer &out) {
  out.clear();
  LogNull log;
  bool ok = count == 0 || EncodingConvert().convert(from, EncodingConvert::kUtf16Le, bytes, count, out, log);
  static const char16_t terminator = 0;
  if (out.getSize() == 0) out.reserve(2);
  return out.append(&terminator, 2) && ok;
}

uint32_t XString::utf16Units() const { return m_utf16.getSize() >= 2 ? (m_utf16.getSize() - 2) / 2 : 0; }

void XString::makeOnlyCurrent(bool utf8, bool ansi, bool utf16) {
  m_utf8Current = utf8;
  m_ansiCurrent = ansi;
  m_utf16Current = utf16;
  m_ansiStatus = kAnsiUnknown;
}

void XString::ensureUtf8() const {
  if (m_utf8Current) return;
  // An ANSI form known to have lost characters is not a source: the UTF-16 form still has them.
  if (m_ansiCurrent && !(m_ansiStatus == kAnsiLossy && m_utf16Current)) {
    convertTo(GetACP(), EncodingConvert::kUtf8, m_ansi.getText(), m_ansi.getSize(), m_utf8);
  } else if (m_utf16Current && utf16Units() > 0) {
    convertTo(EncodingConvert::kUtf16Le, EncodingConvert::kUtf8, m_utf16.getData(), utf16Units() * 2, m_utf8);
  } else {
    m_utf8.clear();
  }
  m_utf8Current = true;
}

void XString::ensureAnsi() const {
  if (m_ansiCurrent) return;
  bool ok = m_utf8Current
                ? convertTo(EncodingConvert::kUtf8, GetACP(), m_utf8.getText(), m_utf8.getSize(), m_ansi)
                : convertTo(EncodingConvert::kUtf16Le, GetACP(), m_utf16.getData(), utf16Units() * 2, m_ansi);
  m_ansiStatus = ok ? kAnsiSafe : kAnsiLossy;
  m_ansiCurrent = true;
}

void XString::ensureUtf16() const {
  if (m_utf16Current) return;
  if (m_utf8Current) {
    convertToUtf16(EncodingConvert::kUtf8, m_utf8.getText(), m_utf8.getSize(), m_utf16);
  } else {
    convertToUtf16(GetACP(), m_ansi.getText(), m_ansi.getSize(), m_utf16);
  }
  m_utf16Current = true;
}

bool XString::setUtf8(const char *text) { return setUtf8(text, textLength(text)); }

bool XString::setUtf8(const char *text, uint32_t count) {
  clear();
  text = skipBom(text, count);
  if (count == 0) return true;
  makeOnlyCurrent(true, false, false);
  return m_utf8.appendBytes(text, count);
}

bool XString::setAnsi(const char *text) {
  clear();
  if (textLength(text) == 0) return true;
  makeOnlyCurrent(false, true, false);
  return m_ansi.append(text);
}

bool XString::setAnsiBuffer(StringBuffer &text) {
  clear();
  makeOnlyCurrent(false, true, false);
  m_ansi.takeOver(text);
  return true;
}

bool XString::setUtf16(const char16_t *text) {
  clear();
  uint32_t units = unitCount(text);
  if (units == 0) return true;
  makeOnlyCurrent(false, false, true);
  static const char16_t terminator = 0;
  return m_utf16.reserve(units * 2 + 2) && m_utf16.append(text, units * 2) && m_utf16.append(&terminator, 2);
}

bool XString::appendUtf8(const char *text) { return appendUtf8(text, textLength(text)); }

bool XString::appendUtf8(const char *text, uint32_t count) {
  ensureUtf8();
  if (m_utf8.isEmpty()) text = skipBom(text, count);
  makeOnlyCurrent(true, false, false);
  return m_utf8.appendBytes(text, count);
}

bool XString::appendAnsi(const char *text) {
  ensureAnsi();
  makeOnlyCurrent(false, true, false);
  return m_ansi.append(text);
}

bool XString::appendUtf16(const char16_t *text) {
  ensureUtf16();
  uint32_t units = unitCount(text);
  makeOnlyCurrent(false, false, true);
  if (units == 0) return true;
  static const char16_t terminator = 0;
  m_utf16.shortenBy(2);
  return m_utf16.append(text, units * 2) && m_utf16.append(&terminator, 2);
}

bool XString::appendXString(const XString &other) {
  if (&other == this) {
    XString copy;
    return copy.copyFrom(other) && appendXString(copy);
  }
  if (other.m_utf8Current) return appendUtf8(other.m_utf8.getText(), other.m_utf8.getSize());
  if (other.m_utf16Current) return appendUtf16(other.getUtf16());
  return appendAnsi(other.m_ansi.getText());
}

const char *XString::getUtf8() const {
  ensureUtf8();
  return m_utf8.getText();
}

uint32_t XString::getSizeUtf8() const {
  ensureUtf8();
  return m_utf8.getSize();
}

const char *XString::getAnsi() const {
  ensureAnsi();
  return m_ansi.getText();
}

const char16_t *XString::getUtf16() const {
  ensureUtf16();
  if (m_utf16.getSize() < 2) return u"";
  return reinterpret_cast<const char16_t *>(m_utf16.getData());
}

const StringBuffer &XString::getUtf8Buffer() const {
  ensureUtf8();
  return m_utf8;
}

StringBuffer &XString::getUtf8BufferForChange() {
  ensureUtf8();
  makeOnlyCurrent(true, false, false);
  return m_utf8;
}

void XString::clear() {
  m_utf8.clear();
  m_ansi.clear();
  m_utf16.clear();
  makeOnlyCurrent(true, true, true);
}

bool XString::copyFrom(const XString &other) {
  if (&other == this) return true;
  m_utf16.clear();
  bool ok = m_utf16.reserve(other.m_utf16.getSize()) && m_utf16.appendBuffer(other.m_utf16) &&
            m_ansi.copyFrom(other.m_ansi) && m_utf8.copyFrom(other.m_utf8);
  if (!ok) {
    clear();
    return false;
  }
  m_utf8Current = other.m_utf8Current;
  m_ansiCurrent = other.m_ansiCurrent;
  m_utf16Current = other.m_utf16Current;
  m_ansiStatus = other.m_ansiStatus;
  return true;
}

uint32_t XString::getNumChars() const {
  if (m_ansiCurrent) return m_ansi.getSize();
  ensureUtf16();
  return utf16Units();
}

bool XString::isEmpty() const {
  if (m_utf8Current) return m_utf8.isEmpty();
  if (m_ansiCurrent) return m_ansi.isEmpty();
  return utf16Units() == 0;
}

bool XString::ansiSafe() const {
  if (m_ansiStatus != kAnsiUnknown) return m_ansiStatus == kAnsiSafe;
  // A text that came in as ANSI is safe by definition.
  if (m_ansiCurrent) {
    m_ansiStatus = kAnsiSafe;
    return true;
  }
  StringBuffer ansi;
  bool ok = m_utf16Current
                ? convertTo(EncodingConvert::kUtf16Le, GetACP(), m_utf16.getData(), utf16Units() * 2, ansi)
                : convertTo(EncodingConvert::kUtf8, GetACP(), m_utf8.getText(), m_utf8.getSize(), ansi);
  if (ok) {
    m_ansi.takeOver(ansi);
    m_ansiCurrent = true;
  }
  m_ansiStatus = ok ? kAnsiSafe : kAnsiLossy;
  return ok;
}

bool XString::contains(const char *utf8) const { return getUtf8Buffer().contains(skipBom(utf8)); }

// ASCII letters are folded on the UTF-8 form: its multi-byte characters never hold ASCII bytes,
// so this finds what a search of a lossless ANSI form would, and nothing a lossy one would invent.
bool XString::containsIgnoreCase(const char *utf8) const {
  return getUtf8Buffer().containsIgnoreCase(skipBom(utf8));
}

bool XString::beginsWith(const char *utf8, bool ignoreCase) const {
  const char *text = skipBom(utf8);
  return ignoreCase ? getUtf8Buffer().beginsWithIgnoreCase(text) : getUtf8Buffer().beginsWith(text);
}

bool XString::endsWith(const char *utf8) const { return getUtf8Buffer().endsWith(skipBom(utf8)); }

bool XString::equals(const char *utf8) const {
  if (utf8 == nullptr) return isEmpty();
  return getUtf8Buffer().equals(skipBom(utf8));
}

int XString::indexOf(const char *utf8) const {
  const char *find = skipBom(utf8);
  if (textLength(find) == 0) return -1;
  const char *text = getUtf8();
  const char *hit = std::strstr(text, find);
  if (hit == nullptr) return -1;
  // A four-byte sequence is a surrogate pair: two units.
  int units = 0;
  for (const char *p = text; p < hit; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (!isUtf8Continuation(c)) units += c >= 0xF0 ? 2 : 1;
  }
  return units;
}

bool XString::replaceFirst(const char *findUtf8, const char *replUtf8) {
  ensureUtf8();
  if (!m_utf8.replaceFirst(skipBom(findUtf8), replUtf8)) return false;
  makeOnlyCurrent(true, false, false);
  return true;
}

bool XString::replaceLast(const char *findUtf8, const char *replUtf8) {
  ensureUtf8();
  if (!m_utf8.replaceLast(skipBom(findUtf8), replUtf8)) return false;
  makeOnlyCurrent(true, false, false);
  return true;
}

bool XString::utf16FromAnsiChar(char c, uint16_t &unit) const {
  DataBuffer converted;
  LogNull log;
  if (!EncodingConvert().convert(GetACP(), EncodingConvert::kUtf16Le, &c, 1, converted, log)) return false;
  if (converted.getSize() != 2) return false;
  std::memcpy(&unit, converted.getData(), 2);
  return unit != 0;  // the terminator is not a character
}

void XString::replaceChar(char from, char to) {
  uint16_t fromUnit, toUnit;
  if (!utf16FromAnsiChar(from, fromUnit) || !utf16FromAnsiChar(to, toUnit)) return;
  ensureUtf16();
  m_utf16.replaceCharUtf16(fromUnit, toUnit);
  makeOnlyCurrent(false, false, true);
}

void XString::removeChar(char c) {
  uint16_t unit;
  if (!utf16FromAnsiChar(c, unit)) return;
  ensureUtf16();
  m_utf16.removeCharUtf16(unit);
  makeOnlyCurrent(false, false, true);
}

void XString::shortenBy(uint32_t count) {
  ensureUtf16();
  uint32_t units = utf16Units();
  if (count >= units) {
    clear();
    return;
  }
  units -= count;
  const uint8_t *last = m_utf16.getData() + 2 * (units - 1);
  uint16_t unit = uint16_t(last[0] | last[1] << 8);
  if (unit >= 0xD800 && unit <= 0xDBFF) --units;
  m_utf16.setSize(units * 2);
  static const char16_t terminator = 0;
  m_utf16.append(&terminator, 2);
  makeOnlyCurrent(false, false, true);
}

void XString::trim() {
  ensureUtf8();
  m_utf8.trim();
  makeOnlyCurrent(true, false, false);
}
