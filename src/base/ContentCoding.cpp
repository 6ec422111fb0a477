#include "base/ContentCoding.h"

#include <cstring>

#include "base/StringBuffer.h"

namespace {
const char kHexDigits[] = "0123456789ABCDEF";
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint32_t kMinLineLength = 10;

// The extra bytes each URL flavour copies unchanged.
const char kUrlRfc3986[] = "-.,_~";
const char kUrlRfc1738[] = "$-_.+!*'(),";
const char kUrlRfc2396[] = "-_.!~*'()";

bool isAlnum(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool appendEscaped(StringBuffer &out, char marker, uint8_t b) {
  return out.appendChars(marker, kHexDigits[b >> 4], kHexDigits[b & 15]);
}

// Quoted-printable, one output line at a time: `col` counts the characters of the line.
class QuotedPrintableWriter {
 public:
  QuotedPrintableWriter(const uint8_t *data, uint32_t size, uint32_t maxLineLength, StringBuffer &out)
      : m_data(data), m_size(size), m_limit(maxLineLength - 1), m_out(out) {}

  bool run() {
    for (uint32_t i = 0; i < m_size;) {
      uint32_t used = 1;
      if (!writeAt(i, used)) return false;
      i += used;
      // A hard line break due here makes a soft one needless.
      if (m_col >= m_limit && !crlfAt(i) && !softBreak()) return false;
    }
    return true;
  }

 private:
  bool crlfAt(uint32_t i) const { return i + 1 < m_size && m_data[i] == '\r' && m_data[i + 1] == '\n'; }

  bool softBreak() {
    m_col = 0;
    return m_out.appendChars('=', '\r', '\n');
  }

  bool encoded(uint8_t b) {
    if (m_col + 2 >= m_limit && !softBreak()) return false;
    m_col += 3;
    return appendEscaped(m_out, '=', b);
  }

  bool copied(uint8_t b) {
    ++m_col;
    return m_out.appendChar(char(b));
  }

  bool writeAt(uint32_t i, uint32_t &used) {
    uint8_t b = m_data[i];
    if (m_col == 0) {
      // A line starting with "." or "From " means something else to mail transports.
      bool from = b == 'F' && i + 4 < m_size && std::memcmp(m_data + i + 1, "rom ", 4) == 0;
      if (b == '.' || from) {
        m_col = 3;
        return appendEscaped(m_out, '=', b);
      }
    }
    if ((b >= 33 && b <= 60) || (b >= 62 && b <= 126)) return copied(b);
    if (b == ' ' || b == '\t') return i + 1 == m_size || crlfAt(i + 1) ? encoded(b) : copied(b);
    if (crlfAt(i)) {
      used = 2;
      m_col = 0;
      return m_out.appendChars('\r', '\n');
    }
    return encoded(b);
  }

  const uint8_t *m_data;
  uint32_t m_size;
  uint32_t m_limit;
  StringBuffer &m_out;
  uint32_t m_col = 0;
};
}  // namespace

void ContentCoding::setMaxLineLength(uint32_t length) {
  m_maxLineLength = length == 0 ? kDefaultLineLength : length < kMinLineLength ? kMinLineLength : length;
}

bool ContentCoding::encode(const char *name, const void *data, uint32_t size, StringBuffer &out) {
  StringBuffer coding(name);
  coding.trim();
  if (coding.equalsIgnoreCase("base64") || coding.equalsIgnoreCase("base-64"))
    return encodeBase64(data, size, out);
  if (coding.beginsWithIgnoreCase("qp-")) {
    StringBuffer number(coding.getText() + 3);
    setMaxLineLength(uint32_t(number.toInt() < 0 ? 0 : number.toInt()));
    return encodeQuotedPrintable(data, size, out);
  }
  if (coding.equalsIgnoreCase("qp") || coding.equalsIgnoreCase("quoted-printable")) {
    setMaxLineLength(kDefaultLineLength);
    return encodeQuotedPrintable(data, size, out);
  }
  if (coding.equalsIgnoreCase("hex") || coding.equalsIgnoreCase("hexidecimal"))
    return encodeHex(data, size, out);
  if (coding.equalsIgnoreCase("asc") || coding.equalsIgnoreCase("ansi")) return out.appendBytes(data, size);
  if (coding.equalsIgnoreCase("url") || coding.equalsIgnoreCase("url_rfc3986") ||
      coding.equalsIgnoreCase("url_oauth")) {
    return encodeUrl(data, size, kUrlRfc3986, out);
  }
  if (coding.equalsIgnoreCase("url_rfc1738")) return encodeUrl(data, size, kUrlRfc1738, out);
  if (coding.equalsIgnoreCase("url_rfc2396")) return encodeUrl(data, size, kUrlRfc2396, out);
  out.clear();
  return false;
}

bool ContentCoding::encodeBase64(const void *data, uint32_t size, StringBuffer &out) {
  const uint8_t *p = static_cast<const uint8_t *>(data);
  for (uint32_t i = 0; i < size; i += 3) {
    uint32_t left = size - i;
    uint32_t group =
        uint32_t(p[i]) << 16 | (left > 1 ? uint32_t(p[i + 1]) << 8 : 0) | (left > 2 ? p[i + 2] : 0);
    char chars[4] = {kBase64[group >> 18], kBase64[group >> 12 & 63],
                     left > 1 ? kBase64[group >> 6 & 63] : '=', left > 2 ? kBase64[group & 63] : '='};
    if (!out.appendChars(chars[0], chars[1]) || !out.appendChars(chars[2], chars[3])) return false;
  }
  return true;
}

bool ContentCoding::encodeQuotedPrintable(const void *data, uint32_t size, StringBuffer &out) const {
  return QuotedPrintableWriter(static_cast<const uint8_t *>(data), size, m_maxLineLength, out).run();
}

bool ContentCoding::encodeHex(const void *data, uint32_t size, StringBuffer &out) {
  const uint8_t *p = static_cast<const uint8_t *>(data);
  for (uint32_t i = 0; i < size; ++i) {
    if (!out.appendChars(kHexDigits[p[i] >> 4], kHexDigits[p[i] & 15])) return false;
  }
  return true;
}

bool ContentCoding::encodeUrl(const void *data, uint32_t size, const char *safe, StringBuffer &out) {
  const uint8_t *p = static_cast<const uint8_t *>(data);
  for (uint32_t i = 0; i < size; ++i) {
    bool copy = isAlnum(p[i]) || (p[i] != 0 && std::strchr(safe, p[i]) != nullptr);
    if (!(copy ? out.appendChar(char(p[i])) : appendEscaped(out, '%', p[i]))) return false;
  }
  return true;
}
