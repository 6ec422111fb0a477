#include "xml/ParseEngine.h"

#include <cstring>

namespace {
bool isWhitespace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Runs of bytes are appended in one call rather than byte by byte.
constexpr uint32_t kBalancedRun = 128;
}  // namespace

bool ParseEngine::setText(const char *text, uint32_t size) {
  m_text.clear();
  m_pos = 0;
  m_outOfMemory = false;
  if (!m_text.appendBytes(text, size)) return false;
  m_end = uint32_t(std::strlen(m_text.getText()));
  return true;
}

void ParseEngine::advance(uint32_t count) { m_pos = count > m_end - m_pos ? m_end : m_pos + count; }

bool ParseEngine::startsWith(const char *prefix) const {
  const uint32_t n = uint32_t(std::strlen(prefix));
  return n <= m_end - m_pos && std::memcmp(here(), prefix, n) == 0;
}

bool ParseEngine::startsWithIgnoreCase(const char *prefix) const {
  const uint32_t n = uint32_t(std::strlen(prefix));
  if (n > m_end - m_pos) return false;
  for (uint32_t i = 0; i < n; ++i) {
    if (lowerAscii(here()[i]) != lowerAscii(prefix[i])) return false;
  }
  return true;
}

void ParseEngine::skipWhitespace() {
  while (m_pos < m_end && isWhitespace(m_text.getText()[m_pos])) ++m_pos;
}

void ParseEngine::copy(uint32_t from, uint32_t to, StringBuffer &out) {
  if (to > from && !out.appendBytes(m_text.getText() + from, to - from)) m_outOfMemory = true;
}

void ParseEngine::readUntilAny(const char *stops, StringBuffer &out) {
  const uint32_t start = m_pos;
  m_pos += uint32_t(std::strcspn(here(), stops));
  copy(start, m_pos, out);
}

void ParseEngine::readUntilByte(char stop, StringBuffer &out) {
  const char stops[2] = {stop, 0};
  readUntilAny(stops, out);
}

bool ParseEngine::readBalanced(char open, char close, StringBuffer &out) {
  const char *text = m_text.getText();
  int depth = 1;
  uint32_t runStart = m_pos;
  while (m_pos < m_end) {
    const char c = text[m_pos++];
    if (c == open) ++depth;
    if (c == close) --depth;
    if (depth == 0 || m_pos - runStart == kBalancedRun) {
      copy(runStart, m_pos, out);
      runStart = m_pos;
    }
    if (depth == 0) return true;
  }
  copy(runStart, m_pos, out);
  return false;
}

uint32_t ParseEngine::find(const char *needle) const {
  const char *hit = std::strstr(here(), needle);
  return hit ? uint32_t(hit - m_text.getText()) : m_end;
}

bool ParseEngine::findAndCopyThrough(const char *needle, StringBuffer &out) {
  const uint32_t hit = find(needle);
  if (hit == m_end) return false;
  const uint32_t after = hit + uint32_t(std::strlen(needle));
  copy(m_pos, after, out);
  m_pos = after;
  return true;
}

bool ParseEngine::findAndSkip(const char *needle) {
  const uint32_t hit = find(needle);
  if (hit == m_end) return false;
  m_pos = hit + uint32_t(std::strlen(needle));
  return true;
}

bool ParseEngine::scanToByteUnless(char stop, char fail) {
  const char *text = m_text.getText();
  for (; m_pos < m_end; ++m_pos) {
    if (text[m_pos] == stop) return true;
    if (text[m_pos] == fail) return false;
  }
  return true;
}
