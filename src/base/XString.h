#pragma once

#include <cstdint>

#include "base/DataBuffer.h"
#include "base/QuorvelObject.h"
#include "base/StringBuffer.h"

// One text held in up to three forms: UTF-8, the process's ANSI code page (GetACP) and
// UTF-16LE. Windows calls take the ANSI or UTF-16 form, the rest of the program the UTF-8 form.
// A form is converted from a current one when first asked for, then kept; setting the text from
// one form makes it the only current one.
class XString : public QuorvelObject {
 public:
  XString();
  XString(const XString &) = delete;
  XString &operator=(const XString &) = delete;
  ~XString() override = default;

  // Null or empty text clears; a leading UTF-8 byte-order mark is dropped.
  bool setUtf8(const char *text);
  bool setUtf8(const char *text, uint32_t count);
  bool setAnsi(const char *text);
  // Takes the buffer's content over; the buffer is left empty.
  bool setAnsiBuffer(StringBuffer &text);
  bool setUtf16(const char16_t *text);

  bool appendUtf8(const char *text);
  bool appendUtf8(const char *text, uint32_t count);
  bool appendAnsi(const char *text);
  bool appendUtf16(const char16_t *text);
  bool appendXString(const XString &other);

  const char *getUtf8() const;
  uint32_t getSizeUtf8() const;
  const char *getAnsi() const;
  const char16_t *getUtf16() const;
  const StringBuffer &getUtf8Buffer() const;
  // The UTF-8 form for the caller to change: the other forms are dropped.
  StringBuffer &getUtf8BufferForChange();

  void clear();
  bool copyFrom(const XString &other);

  // Bytes of the ANSI form when that form is current, else UTF-16 code units.
  uint32_t getNumChars() const;
  bool isEmpty() const;
  // Whether the text converts to the ANSI code page without loss (cached).
  bool ansiSafe() const;

  bool contains(const char *utf8) const;
  bool containsIgnoreCase(const char *utf8) const;
  bool beginsWith(const char *utf8, bool ignoreCase = false) const;
  bool endsWith(const char *utf8) const;
  bool equals(const char *utf8) const;
  // Position in UTF-16 code units, or -1.
  int indexOf(const char *utf8) const;

  bool replaceFirst(const char *findUtf8, const char *replUtf8);
  bool replaceLast(const char *findUtf8, const char *replUtf8);
  // The characters are ANSI characters.
  void replaceChar(char from, char to);
  void removeChar(char c);
  // Removes the last `count` UTF-16 code units, and a high surrogate left without its partner.
  void shortenBy(uint32_t count);
  void trim();

 private:
  enum AnsiStatus : uint8_t { kAnsiUnknown = 0, kAnsiSafe = 1, kAnsiLossy = 2 };

  void makeOnlyCurrent(bool utf8, bool ansi, bool utf16);
  void ensureUtf8() const;
  void ensureAnsi() const;
  void ensureUtf16() const;
  // Converts into a StringBuffer (terminated) or into the UTF-16 form (two zero bytes).
  static bool convertTo(uint32_t from, uint32_t to, const void *bytes, uint32_t count, StringBuffer &out);
  static bool convertToUtf16(uint32_t from, const void *bytes, uint32_t count, DataBuffer &out);
  uint32_t utf16Units() const;
  bool utf16FromAnsiChar(char c, uint16_t &unit) const;

  mutable AnsiStatus m_ansiStatus;
  mutable bool m_utf16Current;
  mutable bool m_ansiCurrent;
  mutable bool m_utf8Current;
  mutable DataBuffer m_utf16;
  mutable StringBuffer m_ansi;
  mutable StringBuffer m_utf8;
};
