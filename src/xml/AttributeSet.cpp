#include "xml/AttributeSet.h"

#include <cstring>

#include "xml/XmlEscape.h"

namespace {
// Bounds a removal loop that could otherwise meet a set corrupted into endless matches.
constexpr int kMaxRemovals = 101;
}  // namespace

AttributeSet::AttributeSet() { m_lengths.init(6, 15); }

bool AttributeSet::addPair(const char *name, uint32_t nameLength, const char *value, uint32_t valueLength) {
  const uint32_t oldSize = m_text.getSize();
  if (!m_text.appendBytes(name, nameLength) || !m_text.appendBytes(value, valueLength) ||
      m_text.getSize() != oldSize + nameLength + valueLength) {
    m_text.shortenBy(m_text.getSize() - oldSize);
    return false;
  }
  if (!m_lengths.append(int32_t(nameLength))) {
    m_text.shortenBy(nameLength + valueLength);
    return false;
  }
  if (!m_lengths.append(int32_t(valueLength))) {
    m_lengths.removeAt(m_lengths.getCount() - 1);
    m_text.shortenBy(nameLength + valueLength);
    return false;
  }
  return true;
}

int AttributeSet::findPair(const char *name, uint32_t &offset) const {
  const uint32_t wanted = uint32_t(std::strlen(name));
  offset = 0;
  for (int pair = 0; pair < getCount(); ++pair) {
    if (nameLength(pair) == wanted && std::memcmp(m_text.getText() + offset, name, wanted) == 0) return pair;
    offset += nameLength(pair) + valueLength(pair);
  }
  return -1;
}

bool AttributeSet::getValue(const char *name, StringBuffer &out) const {
  out.clear();
  uint32_t offset;
  const int pair = findPair(name, offset);
  if (pair < 0) return false;
  return out.appendBytes(m_text.getText() + offset + nameLength(pair), valueLength(pair));
}

bool AttributeSet::getPair(int index, StringBuffer &name, StringBuffer &value) const {
  name.clear();
  value.clear();
  if (index < 0 || index >= getCount()) return false;
  uint32_t offset = 0;
  for (int pair = 0; pair < index; ++pair) offset += nameLength(pair) + valueLength(pair);
  const char *p = m_text.getText() + offset;
  return name.appendBytes(p, nameLength(index)) &&
         value.appendBytes(p + nameLength(index), valueLength(index));
}

bool AttributeSet::hasName(const char *name) const {
  uint32_t offset;
  return findPair(name, offset) >= 0;
}

bool AttributeSet::removeFirst(const char *name) {
  uint32_t offset;
  const int pair = findPair(name, offset);
  if (pair < 0) return false;
  m_text.removeRange(offset, nameLength(pair) + valueLength(pair));
  m_lengths.removeAt(2 * pair + 1);
  m_lengths.removeAt(2 * pair);
  return true;
}

void AttributeSet::removeAll(const char *name) {
  for (int i = 0; i < kMaxRemovals && removeFirst(name); ++i) {
  }
}

// Character references in values stay as written: the parser leaves them undecoded, so writing
// them back unchanged keeps what a reader that resolves them will see.
bool AttributeSet::writeXml(StringBuffer &out) const {
  const char *p = m_text.getText();
  for (int pair = 0; pair < getCount(); ++pair) {
    const uint32_t nameLen = nameLength(pair), valueLen = valueLength(pair);
    if (!out.appendChar(' ') || !out.appendBytes(p, nameLen) || !out.appendChars('=', '"') ||
        !appendXmlEscaped(p + nameLen, valueLen, true, out) || !out.appendChar('"')) {
      return false;
    }
    p += nameLen + valueLen;
  }
  return true;
}
