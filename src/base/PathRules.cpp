#include "base/PathRules.h"

#include <cstring>

#include "base/PathQueries.h"

namespace {
constexpr uint32_t kNone = 0xFFFFFFFF;

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// UTF-16 code units in the UTF-8 bytes before `at`: lengths of this layer are counted in them.
uint32_t utf16Index(const char *text, const char *at) {
  uint32_t units = 0;
  for (const char *p = text; p < at; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if ((c & 0xC0) != 0x80) ++units;
    if (c >= 0xF0) ++units;
  }
  return units;
}

// Every byte c becomes "_" except the one at byte index `keep`; the count of those replaced.
uint32_t replaceAllBut(StringBuffer &text, char c, uint32_t keep) {
  StringBuffer out;
  uint32_t replaced = 0;
  const char *t = text.getText();
  for (uint32_t i = 0; i < text.getSize(); ++i) {
    bool replace = t[i] == c && i != keep;
    replaced += replace;
    out.appendChar(replace ? '_' : t[i]);
  }
  if (replaced > 0) text.takeOver(out);
  return replaced;
}

uint32_t countOf(const StringBuffer &text, char c, uint32_t except) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < text.getSize(); ++i) n += text.charAt(i) == c && i != except;
  return n;
}

void logRewrite(LogBase &log, const char *message, const StringBuffer &before) {
  log.logInfo(message);
  log.logData("filename", before);
}

// Replaces every c (but the one at `keep`) with "_", logging the message first.
void rewrite(StringBuffer &text, char c, uint32_t keep, const char *message, LogBase &log, bool logResult) {
  if (countOf(text, c, keep) == 0) return;
  logRewrite(log, message, text);
  replaceAllBut(text, c, keep);
  if (logResult) log.logData("modifiedFilename", text);
}

void sanitizeColons(StringBuffer &text, LogBase &log) {
  const char *t = text.getText();
  const char *colon = std::strchr(t, ':');
  if (colon == nullptr) return;
  uint32_t index = utf16Index(t, colon);
  if (index > 7) {
    rewrite(text, ':', kNone, "The : character is not allowed in Windows filenames.", log, true);
  } else if (index >= 1) {
    // A drive letter, also behind "\\?\": its colon stays.
    rewrite(text, ':', uint32_t(colon - t), "The : character is not allowed in Windows filenames..", log, true);
  }
}

void sanitizeQuestionMarks(StringBuffer &text, LogBase &log) {
  const char *t = text.getText();
  const char *prefix = std::strstr(t, "\\\\?");
  uint32_t keep = prefix != nullptr ? uint32_t(prefix - t) + 2 : kNone;
  rewrite(text, '?', keep, "The ? character is not allowed in Windows filenames.", log, false);
}

// The names Windows keeps for devices, each followed by a dot; com and lpt take a digit first.
const char *const kDeviceStems[] = {"aux", "clock$", "con", "nul", "prn"};
const char *const kNumberedDeviceStems[] = {"com", "lpt"};

// The length of `stem` when `text` starts with it in any case, else 0.
size_t stemAt(const char *text, const char *stem) {
  size_t i = 0;
  while (stem[i] != 0 && (text[i] >= 'A' && text[i] <= 'Z' ? text[i] + 32 : text[i]) == stem[i]) ++i;
  return stem[i] == 0 ? i : 0;
}

bool isDeviceName(const XString &name) {
  const char *t = name.getUtf8();
  for (const char *stem : kDeviceStems) {
    size_t n = stemAt(t, stem);
    if (n != 0 && t[n] == '.') return true;
  }
  for (const char *stem : kNumberedDeviceStems) {
    size_t n = stemAt(t, stem);
    if (n != 0 && t[n] >= '0' && t[n] <= '9' && t[n + 1] == '.') return true;
  }
  return false;
}

// Whether the name Windows resolves for `text` could be a device's: a last component of dots or
// none at all is resolved elsewhere, and any other keeps its first letters. Resolving asks the
// system for the full path, which costs more than the rest of the check for every file extracted.
bool mayNameDevice(const char *text) {
  const char *last = text;
  for (const char *c = text; *c != 0; ++c) {
    if (isSeparator(*c) || *c == ':') last = c + 1;
  }
  if (last[std::strspn(last, ".")] == 0) return true;
  for (const char *stem : kDeviceStems) {
    if (stemAt(last, stem) != 0) return true;
  }
  for (const char *stem : kNumberedDeviceStems) {
    if (stemAt(last, stem) != 0) return true;
  }
  return false;
}

void markDeviceName(XString &path) {
  if (!mayNameDevice(path.getUtf8())) return;
  XString name;
  getFileNamePart(path, name);
  if (!isDeviceName(name)) return;
  StringBuffer &text = path.getUtf8BufferForChange();
  const char *t = text.getText();
  uint32_t start = 0;
  for (uint32_t i = 0; t[i] != 0; ++i) {
    if (isSeparator(t[i])) start = i + 1;
  }
  StringBuffer rest;
  rest.append(t + start);
  text.shortenBy(text.getSize() - start);
  text.appendChar('_');
  text.appendBuffer(rest);
}

}  // namespace

void stripPathRoot(XString &path) {
  StringBuffer &text = path.getUtf8BufferForChange();
  text.replaceCharBytes('/', '\\');
  if (text.beginsWith("\\\\?\\UNC\\")) {
    text.removeRange(0, 8);
    text.prepend("\\\\");
  } else if (text.beginsWith("\\\\?\\")) {
    text.removeRange(0, 4);
  }
  const char *t = text.getText();
  const char *rest = t;
  if (text.beginsWith("\\\\")) {
    const char *server = std::strchr(t + 2, '\\');
    const char *share = server != nullptr ? std::strchr(server + 1, '\\') : nullptr;
    rest = share != nullptr ? share : t + text.getSize();
  } else if (text.getSize() >= 2 && t[1] == ':') {
    rest = t + 2;
  }
  while (*rest == '\\') ++rest;
  text.removeRange(0, uint32_t(rest - t));
}

void sanitizeWindowsPath(XString &path, bool withDeviceNames, LogBase &log) {
  StringBuffer &text = path.getUtf8BufferForChange();
  sanitizeColons(text, log);
  rewrite(text, '|', kNone, "The | character is not allowed in Windows filenames.", log, false);
  sanitizeQuestionMarks(text, log);
  rewrite(text, '*', kNone, "The asterisk character is not allowed in Windows filenames.", log, false);
  rewrite(text, '<', kNone, "The open-angle-bracket character is not allowed in Windows filenames.", log, false);
  rewrite(text, '>', kNone, "The close-angle-bracket character is not allowed in Windows filenames.", log, false);
  rewrite(text, '"', kNone, "The double-quote character is not allowed in Windows filenames.", log, false);
  text.removeChar('\r');
  text.removeChar('\n');
  if (withDeviceNames) markDeviceName(path);
}
