#include "base/StringBuffer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/DataBuffer.h"
#include "base/EncodingConvert.h"
#include "base/ExtPtrArray.h"
#include "base/LogBase.h"
#include "platform/win32.h"

namespace {
constexpr uint8_t kAlive = 0xAA;
constexpr uint32_t kInitialGrowBy = 202;
constexpr uint32_t kMaxGrowBy = 500000;
constexpr uint32_t kMaxWindowsErrorText = 1024;

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

bool isTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

uint32_t textLength(const char *text) { return text ? uint32_t(std::strlen(text)) : 0; }

bool equalIgnoringCase(const char *a, const char *b, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

// Latin-1 capitals lowered; the multiplication sign and sharp s have no lower-case partner.
char lowerLatin1(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return char(u + 0x20);
  return lowerAscii(c);
}

bool isNameChar(unsigned char c) {
  if (c >= 0x80) return true;
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return c == '!' || c == '-' || c == '.' || c == ':' || c == '_';
}
}  // namespace

StringBuffer::StringBuffer()
    : m_alive(kAlive), m_inline{}, m_text(m_inline), m_length(0), m_capacity(0), m_growBy(kInitialGrowBy) {}

StringBuffer::StringBuffer(const char *text) : StringBuffer() {
  m_growBy = 0;
  append(text);
  m_growBy = kInitialGrowBy;
}

StringBuffer::~StringBuffer() {
  checkAlive();
  freeHeap();
  // Volatile, so that the optimiser cannot drop the store as dead once the object ends.
  *const_cast<volatile uint8_t *>(&m_alive) = 0;
}

void StringBuffer::checkAlive() const {
  if (m_alive != kAlive) fatalInternalError("StringBuffer used after destruction");
}

void StringBuffer::freeHeap() {
  if (m_text != m_inline) std::free(m_text);
  m_text = m_inline;
  m_capacity = 0;
}

bool StringBuffer::isInline() const {
  checkAlive();
  return m_text == m_inline;
}

uint32_t StringBuffer::getCapacity() const {
  checkAlive();
  return m_text == m_inline ? kInlineSize : m_capacity;
}

const char *StringBuffer::getText() const {
  checkAlive();
  return m_text;
}

uint32_t StringBuffer::getSize() const {
  checkAlive();
  return m_length;
}

bool StringBuffer::isInside(const void *p) const {
  const char *c = static_cast<const char *>(p);
  return c >= m_text && c < m_text + getCapacity();
}

void StringBuffer::setLength(uint32_t length) {
  m_length = length;
  m_text[length] = 0;
}

bool StringBuffer::ensureRoom(uint32_t extra) {
  uint64_t needed = uint64_t(m_length) + extra;
  if (m_text == m_inline) {
    if (needed + 1 <= kInlineSize) return true;
  } else if (needed < m_capacity) {
    return true;
  }
  uint64_t size = needed + m_growBy + 1;
  if (size > 0xFFFFFFFFu) return false;
  char *store = static_cast<char *>(std::malloc(size_t(size)));
  if (store == nullptr) return false;
  std::memcpy(store, m_text, m_length + 1);
  bool wasInline = m_text == m_inline;
  freeHeap();
  m_text = store;
  m_capacity = uint32_t(size);
  // Geometric growth once on the heap, in steps of at most kMaxGrowBy.
  if (!wasInline && m_growBy < kMaxGrowBy)
    m_growBy = m_capacity / 2 < kMaxGrowBy ? m_capacity / 2 : kMaxGrowBy;
  return true;
}

bool StringBuffer::appendRaw(const void *bytes, uint32_t count) {
  if (count == 0) return true;
  if (bytes == nullptr) return false;
  // The source may lie in our own store, which growing moves.
  bool inside = isInside(bytes);
  size_t offset = inside ? size_t(static_cast<const char *>(bytes) - m_text) : 0;
  if (!ensureRoom(count)) return false;
  const void *source = inside ? m_text + offset : bytes;
  std::memmove(m_text + m_length, source, count);
  setLength(m_length + count);
  return true;
}

void StringBuffer::clear() {
  checkAlive();
  setLength(0);
  m_growBy = kInitialGrowBy;
}

void StringBuffer::clearAndFree() {
  checkAlive();
  freeHeap();
  setLength(0);
  m_growBy = kInitialGrowBy;
}

bool StringBuffer::setString(const char *text) {
  checkAlive();
  uint32_t length = textLength(text);
  if (length == 0) {
    clear();
    return true;
  }
  if (isInside(text)) {
    std::memmove(m_text, text, length);
    setLength(length);
    return true;
  }
  StringBuffer copy;
  if (!copy.appendRaw(text, length)) return false;
  takeOver(copy);
  return true;
}

bool StringBuffer::append(const char *text) {
  checkAlive();
  return appendRaw(text, textLength(text));
}

bool StringBuffer::appendBytes(const void *bytes, uint32_t count) {
  checkAlive();
  if (!appendRaw(bytes, count)) return false;
  uint32_t length = m_length;
  while (length > 0 && m_text[length - 1] == 0) --length;
  setLength(length);
  return true;
}

bool StringBuffer::appendBuffer(const StringBuffer &other) {
  checkAlive();
  return appendRaw(other.getText(), other.getSize());
}

bool StringBuffer::appendBuffer(const DataBuffer &other) {
  checkAlive();
  return appendRaw(other.getData(), other.getSize());
}

bool StringBuffer::appendChar(char c) {
  checkAlive();
  return appendRaw(&c, 1);
}

bool StringBuffer::appendChars(char c1, char c2) {
  checkAlive();
  const char chars[2] = {c1, c2};
  return appendRaw(chars, 2);
}

bool StringBuffer::appendChars(char c1, char c2, char c3) {
  checkAlive();
  const char chars[3] = {c1, c2, c3};
  return appendRaw(chars, 3);
}

bool StringBuffer::appendCharN(char c, uint32_t count) {
  checkAlive();
  if (count == 0) return true;
  if (!ensureRoom(count)) return false;
  std::memset(m_text + m_length, c, count);
  setLength(m_length + count);
  return true;
}

bool StringBuffer::prepend(const char *text) {
  checkAlive();
  uint32_t count = textLength(text);
  if (count == 0) return true;
  StringBuffer joined;
  if (!joined.ensureRoom(count + m_length) || !joined.appendRaw(text, count) ||
      !joined.appendRaw(m_text, m_length)) {
    return false;
  }
  takeOver(joined);
  return true;
}

bool StringBuffer::appendInt(int32_t n) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%d", int(n));
  return append(digits);
}

bool StringBuffer::appendHexDump(const void *bytes, uint32_t count) {
  checkAlive();
  static const char kHex[] = "0123456789ABCDEF";
  const uint8_t *p = static_cast<const uint8_t *>(bytes);
  for (uint32_t i = 0; i < count; ++i) {
    if (!appendChars(kHex[p[i] >> 4], kHex[p[i] & 15])) return false;
    uint32_t inLine = (i + 1) % 16;
    if (inLine == 0) {
      if (!appendChar('\n')) return false;
    } else if (inLine % 2 == 0 && !appendChar(' ')) {
      return false;
    }
  }
  return true;
}

bool StringBuffer::appendWindowsError(uint32_t code) {
  checkAlive();
  char text[kMaxWindowsErrorText + 1] = {};
  DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, kMaxWindowsErrorText, nullptr);
  if (length == 0) return appendChar('x');
  bool ok = appendRaw(text, length);
  trim();
  return ok;
}

bool StringBuffer::appendLastWindowsError() { return appendWindowsError(GetLastError()); }

void StringBuffer::takeOver(StringBuffer &other) {
  checkAlive();
  other.checkAlive();
  if (&other == this) return;
  freeHeap();
  if (other.m_text == other.m_inline) {
    std::memcpy(m_inline, other.m_inline, other.m_length + 1);
  } else {
    m_text = other.m_text;
    m_capacity = other.m_capacity;
    other.m_text = other.m_inline;
    other.m_capacity = 0;
  }
  m_length = other.m_length;
  m_growBy = other.m_growBy;
  other.clear();
}

bool StringBuffer::takeOverData(DataBuffer &data) {
  checkAlive();
  uint32_t size = data.getSize();
  if (size == 0 || data.isBorrowed()) {
    // Borrowed memory is not ours to keep: copy it instead.
    StringBuffer copy;
    if (!copy.appendRaw(data.getData(), size)) return false;
    if (size != 0 && copy.m_text[size - 1] == 0) copy.setLength(size - 1);
    takeOver(copy);
    data.clear();
    return true;
  }
  // A buffer that lacks the terminating NUL gets one rather than losing its last byte.
  if (data.getData()[size - 1] != 0) {
    if (!data.appendByte(0)) return false;
    ++size;
  }
  freeHeap();
  m_text = reinterpret_cast<char *>(data.getData());
  m_capacity = data.getCapacity();
  m_length = size - 1;
  data.release();
  return true;
}

bool StringBuffer::copyFrom(const StringBuffer &other) {
  checkAlive();
  if (&other == this) return true;
  StringBuffer copy;
  if (!copy.appendRaw(other.getText(), other.getSize())) return false;
  takeOver(copy);
  return true;
}

void StringBuffer::trim() {
  checkAlive();
  uint32_t end = m_length;
  while (end > 0 && isTrimmed(m_text[end - 1])) --end;
  uint32_t start = 0;
  while (start < end && isTrimmed(m_text[start])) ++start;
  std::memmove(m_text, m_text + start, end - start);
  setLength(end - start);
}

void StringBuffer::shortenBy(uint32_t count) {
  checkAlive();
  setLength(count >= m_length ? 0 : m_length - count);
}

void StringBuffer::removeRange(uint32_t start, uint32_t count) {
  checkAlive();
  if (start >= m_length || count == 0) return;
  if (count > m_length - start) count = m_length - start;
  std::memmove(m_text + start, m_text + start + count, m_length - start - count);
  setLength(m_length - count);
}

void StringBuffer::removeChar(char c) { removeChar(c, 0); }

void StringBuffer::removeChar(char c, uint32_t fromIndex) {
  checkAlive();
  if (fromIndex >= m_length) return;
  uint32_t kept = fromIndex;
  for (uint32_t i = fromIndex; i < m_length; ++i) {
    if (m_text[i] != c) m_text[kept++] = m_text[i];
  }
  setLength(kept);
}

uint32_t StringBuffer::replaceCharBytes(char from, char to) {
  checkAlive();
  uint32_t count = 0;
  for (uint32_t i = 0; i < m_length; ++i) {
    if (m_text[i] == from) {
      m_text[i] = to;
      ++count;
    }
  }
  return count;
}

uint32_t StringBuffer::replaceChar(char from, char to) {
  if (isSevenBit()) return replaceCharBytes(from, to);
  DataBuffer utf16;
  LogNull log;
  EncodingConvert converter;
  // Text that is not valid UTF-8 would not survive the round trip: it is changed byte-wise.
  if (!converter.convert(EncodingConvert::kUtf8, EncodingConvert::kUtf16Le, m_text, m_length, utf16, log)) {
    return replaceCharBytes(from, to);
  }
  uint16_t fromUnit = static_cast<unsigned char>(from), toUnit = static_cast<unsigned char>(to);
  uint32_t count = 0;
  for (uint32_t i = 0; i + 1 < utf16.getSize(); i += 2) {
    uint16_t unit;
    std::memcpy(&unit, utf16.getData() + i, 2);
    if (unit == fromUnit) ++count;
  }
  if (count == 0) return 0;
  utf16.replaceCharUtf16(fromUnit, toUnit);
  DataBuffer utf8;
  if (!converter.convert(EncodingConvert::kUtf16Le, EncodingConvert::kUtf8, utf16.getData(), utf16.getSize(),
                         utf8, log) ||
      !utf8.append("", 1) || !takeOverData(utf8)) {
    return 0;
  }
  return count;
}

bool StringBuffer::replaceFirst(const char *find, const char *repl) {
  checkAlive();
  if (textLength(find) == 0) return false;
  return replaceAt(std::strstr(m_text, find), textLength(find), repl);
}

bool StringBuffer::replaceLast(const char *find, const char *repl) {
  checkAlive();
  if (textLength(find) == 0) return false;
  const char *last = nullptr;
  for (const char *hit = std::strstr(m_text, find); hit != nullptr; hit = std::strstr(hit + 1, find))
    last = hit;
  return replaceAt(last, textLength(find), repl);
}

bool StringBuffer::replaceAt(const char *hit, uint32_t count, const char *repl) {
  if (hit == nullptr) return false;
  uint32_t at = uint32_t(hit - m_text);
  StringBuffer result;
  if (!result.appendRaw(m_text, at) || !result.append(repl) ||
      !result.appendRaw(m_text + at + count, m_length - at - count)) {
    return false;
  }
  takeOver(result);
  return true;
}

uint32_t StringBuffer::replaceAll(const char *find, const char *repl) {
  checkAlive();
  uint32_t findLength = textLength(find);
  if (findLength == 0) return 0;
  StringBuffer result;
  uint32_t count = 0, done = 0;
  for (const char *hit = std::strstr(m_text, find); hit != nullptr; hit = std::strstr(hit, find)) {
    uint32_t at = uint32_t(hit - m_text);
    if (!result.appendRaw(m_text + done, at - done) || !result.append(repl)) return 0;
    done = at + findLength;
    hit += findLength;
    ++count;
  }
  if (count == 0 || !result.appendRaw(m_text + done, m_length - done)) return 0;
  takeOver(result);
  return count;
}

uint32_t StringBuffer::replaceAllWithChar(const char *find, char c) {
  const char repl[2] = {c, 0};
  if (c != 0) return replaceAll(find, repl);
  // A NUL replacement cannot travel as a C string: mark, then swap the mark in place.
  checkAlive();
  uint32_t findLength = textLength(find);
  if (findLength == 0) return 0;
  uint32_t count = 0, kept = 0;
  for (uint32_t i = 0; i < m_length;) {
    if (i + findLength <= m_length && std::memcmp(m_text + i, find, findLength) == 0) {
      m_text[kept++] = 0;
      i += findLength;
      ++count;
    } else {
      m_text[kept++] = m_text[i++];
    }
  }
  setLength(kept);
  return count;
}

bool StringBuffer::contains(const char *text) const {
  checkAlive();
  return textLength(text) != 0 && std::strstr(m_text, text) != nullptr;
}

bool StringBuffer::containsIgnoreCase(const char *text) const {
  checkAlive();
  uint32_t count = textLength(text);
  uint32_t length = uint32_t(std::strlen(m_text));
  if (count == 0 || count > length) return false;
  for (uint32_t i = 0; i + count <= length; ++i) {
    if (equalIgnoringCase(m_text + i, text, count)) return true;
  }
  return false;
}

bool StringBuffer::containsChar(char c) const {
  checkAlive();
  return std::memchr(m_text, c, m_length) != nullptr;
}

bool StringBuffer::beginsWith(const char *text) const {
  checkAlive();
  uint32_t count = textLength(text);
  return count != 0 && count <= m_length && std::memcmp(m_text, text, count) == 0;
}

bool StringBuffer::beginsWithIgnoreCase(const char *text) const {
  checkAlive();
  uint32_t count = textLength(text);
  return count != 0 && count <= m_length && equalIgnoringCase(m_text, text, count);
}

bool StringBuffer::endsWith(const char *text) const {
  checkAlive();
  uint32_t count = textLength(text);
  return count != 0 && count <= m_length && std::memcmp(m_text + m_length - count, text, count) == 0;
}

bool StringBuffer::equals(const char *text) const {
  checkAlive();
  return std::strcmp(m_text, text ? text : "") == 0;
}

bool StringBuffer::equalsIgnoreCase(const char *text) const {
  checkAlive();
  const char *other = text ? text : "";
  uint32_t count = uint32_t(std::strlen(other));
  return std::strlen(m_text) == count && equalIgnoringCase(m_text, other, count);
}

bool StringBuffer::equalsBuffer(const StringBuffer &other) const {
  checkAlive();
  return m_length == other.getSize() && std::memcmp(m_text, other.getText(), m_length) == 0;
}

char StringBuffer::lastChar() const {
  checkAlive();
  return m_length ? m_text[m_length - 1] : 0;
}

char StringBuffer::charAt(uint32_t index) const {
  checkAlive();
  return index < m_length ? m_text[index] : 0;
}

bool StringBuffer::isSevenBit(uint32_t count) const {
  checkAlive();
  if (count == 0 || count > m_length) count = m_length;
  for (uint32_t i = 0; i < count; ++i) {
    if (static_cast<unsigned char>(m_text[i]) & 0x80) return false;
  }
  return true;
}

int32_t StringBuffer::toInt() const {
  checkAlive();
  const char *p = m_text;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  while (*p == '0') ++p;
  // Unsigned so that an overlong number wraps instead of overflowing.
  uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10 + uint32_t(*p - '0');
  return int32_t(negative ? 0u - value : value);
}

void StringBuffer::toLowerCase() {
  checkAlive();
  for (uint32_t i = 0; i < m_length; ++i) m_text[i] = lowerLatin1(m_text[i]);
}

void StringBuffer::keepNameChars() {
  checkAlive();
  uint32_t kept = 0;
  for (uint32_t i = 0; i < m_length; ++i) {
    if (isNameChar(static_cast<unsigned char>(m_text[i]))) m_text[kept++] = m_text[i];
  }
  setLength(kept);
}

bool StringBuffer::encodeXmlEntities() {
  checkAlive();
  if (std::strpbrk(m_text, "&<>\"") == nullptr) return true;
  StringBuffer result;
  for (uint32_t i = 0; i < m_length; ++i) {
    bool ok;
    switch (m_text[i]) {
      case '&':
        ok = result.append("&amp;");
        break;
      case '<':
        ok = result.append("&lt;");
        break;
      case '>':
        ok = result.append("&gt;");
        break;
      case '"':
        ok = result.append("&quot;");
        break;
      default:
        ok = result.appendRaw(m_text + i, 1);
    }
    if (!ok) return false;
  }
  takeOver(result);
  return true;
}

uint32_t StringBuffer::decodeXmlEntities(uint32_t fromIndex) {
  checkAlive();
  static const struct {
    const char *entity;
    char c;
  } kEntities[] = {{"&amp;", '&'}, {"&apos;", '\''}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
  if (fromIndex >= m_length) return 0;
  uint32_t count = 0, kept = fromIndex;
  for (uint32_t i = fromIndex; i < m_length;) {
    bool decoded = false;
    if (m_text[i] == '&') {
      for (const auto &e : kEntities) {
        uint32_t n = uint32_t(std::strlen(e.entity));
        if (i + n <= m_length && std::memcmp(m_text + i, e.entity, n) == 0) {
          m_text[kept++] = e.c;
          i += n;
          ++count;
          decoded = true;
          break;
        }
      }
    }
    if (!decoded) m_text[kept++] = m_text[i++];
  }
  setLength(kept);
  return count;
}

bool StringBuffer::toCrlf() {
  checkAlive();
  removeChar('\r');
  StringBuffer result;
  for (uint32_t i = 0; i < m_length; ++i) {
    bool ok = m_text[i] == '\n' ? result.appendChars('\r', '\n') : result.appendRaw(m_text + i, 1);
    if (!ok) return false;
  }
  takeOver(result);
  return true;
}

void StringBuffer::crlfToLf() {
  checkAlive();
  uint32_t kept = 0;
  for (uint32_t i = 0; i < m_length; ++i) {
    if (m_text[i] == '\r' && i + 1 < m_length && m_text[i + 1] == '\n') continue;
    m_text[kept++] = m_text[i];
  }
  setLength(kept);
}

namespace {

// Appends the value of the variable named by the UTF-8 bytes, or nothing when it is not set.
bool appendEnvironmentValue(const char *name, uint32_t count, StringBuffer &out) {
  if (count == 0) return true;
  LogNull log;
  EncodingConvert converter;
  DataBuffer wideName;
  converter.convert(EncodingConvert::kUtf8, EncodingConvert::kUtf16Le, name, count, wideName, log);
  if (!wideName.append("\0\0", 2)) return false;
  LPCWSTR key = reinterpret_cast<LPCWSTR>(wideName.getData());
  DWORD needed = GetEnvironmentVariableW(key, nullptr, 0);
  if (needed <= 1) return true;
  DataBuffer value;
  if (!value.reserve(needed * sizeof(WCHAR))) return false;
  DWORD got = GetEnvironmentVariableW(key, reinterpret_cast<LPWSTR>(value.getData()), needed);
  // Changed between the two calls: taken as not set rather than half read.
  if (got == 0 || got >= needed) return true;
  DataBuffer utf8;
  converter.convert(EncodingConvert::kUtf16Le, EncodingConvert::kUtf8, value.getData(), got * sizeof(WCHAR), utf8,
                    log);
  return out.appendBuffer(utf8);
}

}  // namespace

bool StringBuffer::expandEnvVars() {
  checkAlive();
  StringBuffer result;
  bool foundPair = false;
  uint32_t done = 0;
  for (;;) {
    const char *open = static_cast<const char *>(std::memchr(m_text + done, '%', m_length - done));
    if (open == nullptr) break;
    uint32_t start = uint32_t(open - m_text) + 1;
    const char *close = static_cast<const char *>(std::memchr(m_text + start, '%', m_length - start));
    if (close == nullptr) break;
    uint32_t end = uint32_t(close - m_text);
    foundPair = true;
    if (!result.appendRaw(m_text + done, start - 1 - done)) return false;
    if (!appendEnvironmentValue(m_text + start, end - start, result)) return false;
    done = end + 1;
  }
  if (!foundPair) return true;
  if (!result.appendRaw(m_text + done, m_length - done)) return false;
  takeOver(result);
  return true;
}

bool StringBuffer::split(const char *delimiters, bool respectQuotes, bool respectEscapes,
                         ExtPtrArray &out) const {
  checkAlive();
  if (m_length == 0) return true;
  const char *delims = delimiters ? delimiters : "";
  StringBuffer *field = new (std::nothrow) StringBuffer;
  bool inQuotes = false, ok = field != nullptr;
  for (uint32_t i = 0; ok && i < m_length; ++i) {
    char c = m_text[i];
    if (respectEscapes && c == '\\') {
      ok = field->appendChar(c) && (i + 1 == m_length || field->appendChar(m_text[++i]));
    } else if (respectQuotes && c == '"') {
      inQuotes = !inQuotes;
      ok = field->appendChar(c);
    } else if (!inQuotes && c != 0 && std::strchr(delims, c) != nullptr) {
      ok = out.append(field);
      field = ok ? new (std::nothrow) StringBuffer : field;
      ok = ok && field != nullptr;
    } else {
      ok = field->appendChar(c);
    }
  }
  if (ok && out.append(field)) return true;
  delete field;
  return false;
}

bool StringBuffer::shrink() {
  checkAlive();
  if (m_text == m_inline) return true;
  if (m_length + 1 <= kInlineSize) {
    char *heap = m_text;
    std::memcpy(m_inline, heap, m_length + 1);
    m_text = m_inline;
    m_capacity = 0;
    std::free(heap);
    return true;
  }
  if (m_capacity <= m_length + 256) return true;
  char *store = static_cast<char *>(std::malloc(m_length + 1));
  if (store == nullptr) return false;
  std::memcpy(store, m_text, m_length + 1);
  std::free(m_text);
  m_text = store;
  m_capacity = m_length + 1;
  return true;
}
