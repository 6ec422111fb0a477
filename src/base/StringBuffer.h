#pragma once

#include <cstdint>

#include "base/QuorvelObject.h"

class DataBuffer;
class ExtPtrArray;

// Growable, NUL-terminated 8-bit string that does not care how its bytes are encoded (ASCII,
// ANSI or UTF-8). Short texts live in an inline store and never touch the heap. The bytes may
// hold any value, but the C-string operations (search, compare, append of a NUL-terminated
// string) stop at the first NUL.
class StringBuffer : public QuorvelObject {
 public:
  StringBuffer();
  // The store is made exactly the size of the text: most such strings never grow.
  explicit StringBuffer(const char *text);
  StringBuffer(const StringBuffer &) = delete;
  StringBuffer &operator=(const StringBuffer &) = delete;
  ~StringBuffer() override;

  const char *getText() const;
  uint32_t getSize() const;
  bool isEmpty() const { return getSize() == 0; }

  void clear();
  void clearAndFree();
  bool setString(const char *text);
  bool append(const char *text);
  // Trailing NUL bytes are dropped from the length afterwards.
  bool appendBytes(const void *bytes, uint32_t count);
  bool appendBuffer(const StringBuffer &other);
  bool appendBuffer(const DataBuffer &other);
  bool appendChar(char c);
  bool appendChars(char c1, char c2);
  bool appendChars(char c1, char c2, char c3);
  bool appendCharN(char c, uint32_t count);
  bool prepend(const char *text);
  bool appendInt(int32_t n);
  // Two upper-case digits per byte, a space after every second byte but the 16th of a line,
  // a line feed after every 16 bytes.
  bool appendHexDump(const void *bytes, uint32_t count);
  // Windows' own message text, trimmed; the letter x when Windows has none for the code.
  bool appendWindowsError(uint32_t code);
  bool appendLastWindowsError();

  void takeOver(StringBuffer &other);
  // Adopts the byte buffer's memory; its last byte is the terminating NUL, not counted.
  bool takeOverData(DataBuffer &data);
  bool copyFrom(const StringBuffer &other);

  void trim();
  void shortenBy(uint32_t count);
  void removeRange(uint32_t start, uint32_t count);
  void removeChar(char c);
  void removeChar(char c, uint32_t fromIndex);
  uint32_t replaceCharBytes(char from, char to);
  // Character-wise on UTF-8 text: a byte of 0x80 or above stands for the code point of that value.
  uint32_t replaceChar(char from, char to);
  bool replaceFirst(const char *find, const char *repl);
  bool replaceLast(const char *find, const char *repl);
  uint32_t replaceAll(const char *find, const char *repl);
  uint32_t replaceAllWithChar(const char *find, char c);

  bool contains(const char *text) const;
  bool containsIgnoreCase(const char *text) const;
  bool containsChar(char c) const;
  bool beginsWith(const char *text) const;
  bool beginsWithIgnoreCase(const char *text) const;
  bool endsWith(const char *text) const;
  bool equals(const char *text) const;
  bool equalsIgnoreCase(const char *text) const;
  bool equalsBuffer(const StringBuffer &other) const;
  char lastChar() const;
  char charAt(uint32_t index) const;
  // All bytes when count is 0.
  bool isSevenBit(uint32_t count = 0) const;
  int32_t toInt() const;

  void toLowerCase();
  void keepNameChars();
  bool encodeXmlEntities();
  uint32_t decodeXmlEntities(uint32_t fromIndex = 0);
  bool toCrlf();
  void crlfToLf();
  // Each %NAME% (the name taken as UTF-8) becomes the variable's value as UTF-8, looked up
  // through the wide call so that no character of it is lost to the ANSI code page.
  bool expandEnvVars();
  // One new StringBuffer per field, appended to `out`, which then owns them.
  bool split(const char *delimiters, bool respectQuotes, bool respectEscapes, ExtPtrArray &out) const;
  bool shrink();

  // For tests of the growth rule.
  bool isInline() const;
  uint32_t getCapacity() const;

 private:
  static constexpr uint32_t kInlineSize = 82;

  void checkAlive() const;
  bool ensureRoom(uint32_t extra);
  bool appendRaw(const void *bytes, uint32_t count);
  // Replaces `count` bytes at `hit` (a place in the text, or null for "not found").
  bool replaceAt(const char *hit, uint32_t count, const char *repl);
  void setLength(uint32_t length);
  bool isInside(const void *p) const;
  void freeHeap();

  uint8_t m_alive;
  char m_inline[kInlineSize];
  char *m_text;
  uint32_t m_length;
  uint32_t m_capacity;  // of the heap store; 0 while inline
  uint32_t m_growBy;
};
