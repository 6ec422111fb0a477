#include "base/LogBase.h"

#include <cinttypes>
#include <cstdio>

#include "base/StringBuffer.h"
#include "base/XString.h"
#include "platform/win32.h"

void LogBase::copyLogXml(StringBuffer &) {}
void LogBase::copyLogHtml(StringBuffer &) {}
void LogBase::copyLogText(StringBuffer &) {}
bool LogBase::saveLogXml(const char *) { return true; }
bool LogBase::logError(const char *) { return true; }
bool LogBase::logInfo(const char *) { return true; }
bool LogBase::logText(const char *) { return true; }
bool LogBase::clearLog() { return true; }
bool LogBase::enterContext(const char *, bool) { return true; }
bool LogBase::leaveContext() { return true; }
bool LogBase::logData(const char *, const char *) { return true; }

bool LogBase::logDataInt(const char *tag, int64_t n) { return logDataInt64(tag, n); }

bool LogBase::logDataInt64(const char *tag, int64_t n) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64, n);
  return logData(tag, text);
}

bool LogBase::logDataHex(const char *tag, uint32_t n) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", n);
  return logData(tag, text);
}

bool LogBase::logMemoryFailure(int failurePoint, uint64_t numBytes) {
  logError("Memory allocation failed.");
  logDataInt("failurePoint", failurePoint);
  logDataInt64("numBytes", int64_t(numBytes));
  return true;
}

bool LogBase::logWindowsError(uint32_t code) {
  if (code == 0) return true;
  StringBuffer text;
  text.appendWindowsError(code);
  return logData("WindowsError", text.getText());
}

bool LogBase::logLastWindowsError() {
  DWORD code = GetLastError();
  StringBuffer text;
  text.appendWindowsError(code);
  logData("WindowsError", text.getText());
  return logDataHex("WindowsErrorCode", code);
}

bool LogBase::logDataHexBytes(const char *tag, const void *bytes, uint32_t count) {
  if (count == 0) return logData(tag, "(empty)");
  StringBuffer dump;
  dump.appendHexDump(bytes, count);
  dump.trim();
  return logData(tag, dump.getText());
}

bool LogBase::logData(const char *tag, const StringBuffer &value) { return logData(tag, value.getText()); }

bool LogBase::logData(const char *tag, const XString &value) { return logData(tag, value.getUtf8()); }
