#include "xml/XmlEscape.h"

#include "base/StringBuffer.h"

namespace {
bool beginsCharacterReference(const char *p, const char *end) {
  return end - p >= 3 && p[1] == '#' && ((p[2] >= '0' && p[2] <= '9') || p[2] == 'x');
}

const char *entityFor(char c) {
  switch (c) {
    case '"':
      return "&quot;";
    case '\'':
      return "&apos;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '&':
      return "&amp;";
    default:
      return nullptr;
  }
}
}  // namespace

bool appendXmlEscaped(const char *text, uint32_t length, bool keepCharacterReferences, StringBuffer &out) {
  const char *end = text + length;
  const char *run = text;
  for (const char *p = text; p < end; ++p) {
    const char *entity = entityFor(*p);
    if (entity == nullptr || (keepCharacterReferences && *p == '&' && beginsCharacterReference(p, end)))
      continue;
    if (!out.appendBytes(run, uint32_t(p - run)) || !out.append(entity)) return false;
    run = p + 1;
  }
  return out.appendBytes(run, uint32_t(end - run));
}
