#pragma once

#include <cstdint>

class StringBuffer;

// Renders bytes as text in a content coding chosen by name: base64, quoted-printable,
// hexadecimal, three flavours of URL percent-encoding, or unchanged. It carries the
// quoted-printable line length, which a name such as "qp-40" sets.
class ContentCoding {
 public:
  static constexpr uint32_t kDefaultLineLength = 76;

  // Appends the coded bytes to `out`. The name is trimmed and compared ignoring case; an
  // unknown name clears `out` and returns false.
  bool encode(const char *name, const void *data, uint32_t size, StringBuffer &out);

  // Raised to at least 10; 0 means the default.
  void setMaxLineLength(uint32_t length);
  uint32_t getMaxLineLength() const { return m_maxLineLength; }

  static bool encodeBase64(const void *data, uint32_t size, StringBuffer &out);
  bool encodeQuotedPrintable(const void *data, uint32_t size, StringBuffer &out) const;
  static bool encodeHex(const void *data, uint32_t size, StringBuffer &out);
  // `safe` holds the bytes besides ASCII letters and digits that are copied unchanged.
  static bool encodeUrl(const void *data, uint32_t size, const char *safe, StringBuffer &out);

 private:
  uint32_t m_maxLineLength = kDefaultLineLength;
};
