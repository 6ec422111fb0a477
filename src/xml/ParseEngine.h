#pragma once

#include <cstdint>

#include "base/StringBuffer.h"

// The cursor the XML parser reads through: its own copy of the document and a position in it.
// Every scan stops at the terminating zero byte, so nothing is ever read past the end of the text.
// A copy that runs out of memory is remembered (outOfMemory) instead of being reported at each
// call: the parser asks once when it is done.
class ParseEngine {
 public:
  // The document ends at its first zero byte.
  bool setText(const char *text, uint32_t size);

  char current() const { return m_text.getText()[m_pos]; }
  bool atEnd() const { return m_pos >= m_end; }
  const char *here() const { return m_text.getText() + m_pos; }
  void advance(uint32_t count = 1);
  bool startsWith(const char *prefix) const;
  bool startsWithIgnoreCase(const char *prefix) const;
  bool outOfMemory() const { return m_outOfMemory; }

  // Space, tab, carriage return and line feed.
  void skipWhitespace();
  // Copies up to (not including) the first byte in `stops`, or to the end.
  void readUntilAny(const char *stops, StringBuffer &out);
  // Copies up to (not including) `stop`, or to the end.
  void readUntilByte(char stop, StringBuffer &out);
  // Copies through the byte that brings the nesting depth (starting at 1) back to 0; false when
  // the text ends first (what was read is still copied).
  bool readBalanced(char open, char close, StringBuffer &out);
  // Copies through the next `needle` and moves past it; false (nothing moved) when absent.
  bool findAndCopyThrough(const char *needle, StringBuffer &out);
  // Moves past the next `needle`; false (nothing moved) when absent.
  bool findAndSkip(const char *needle);
  // Moves to the next `stop`; false when `fail` comes first (left on it), true at the end.
  bool scanToByteUnless(char stop, char fail);

 private:
  // Position of the next `needle` at or after the cursor, or m_end.
  uint32_t find(const char *needle) const;
  void copy(uint32_t from, uint32_t to, StringBuffer &out);

  StringBuffer m_text;
  uint32_t m_pos = 0;
  uint32_t m_end = 0;
  bool m_outOfMemory = false;
};
