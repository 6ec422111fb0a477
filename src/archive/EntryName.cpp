#include "archive/EntryName.h"

#include "base/StringBuffer.h"

namespace {
bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isParentComponent(const char *start, const char *end) {
  int dots = 0;
  for (const char *p = start; p < end; ++p) {
    if (*p == '.') {
      ++dots;
    } else if (*p != ' ') {
      return false;
    }
  }
  return dots >= 2;
}
}  // namespace

bool isSafeEntryName(const StringBuffer &name) {
  const char *text = name.getText();
  const char *end = text + name.getSize();
  if (text == end || isSeparator(text[0])) return false;
  if (name.getSize() >= 2 && text[1] == ':') return false;
  const char *component = text;
  for (const char *p = text;; ++p) {
    if (p != end && *p == '\0') return false;
    if (p == end || isSeparator(*p)) {
      if (isParentComponent(component, p)) return false;
      if (p == end) return true;
      component = p + 1;
    }
  }
}
