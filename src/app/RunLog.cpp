#include "app/RunLog.h"

#include <cstdarg>
#include <cstdio>

#include "app/AppState.h"
#include "base/PathQueries.h"
#include "base/XString.h"
#include "platform/win32.h"

namespace {
// Through the wide call: the path may hold characters the ANSI code page lacks.
std::FILE *openLogFile(const char *utf8Path, const char16_t *mode) {
  XString path;
  path.setUtf8(utf8Path);
  return _wfopen(wide(path.getUtf16()), wide(mode));
}
}  // namespace

bool runLogIsOpen() { return g_runLog != nullptr; }

bool runLogOpen(const char *path) {
  g_runLogPath.setString(path);
  g_runLog = openLogFile(path, u"wb");
  return g_runLog != nullptr;
}

void runLogWrite(const char *format, ...) {
  if (g_runLog == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(g_runLog, format, args);
  va_end(args);
}

void runLogWriteText(const char *text) {
  if (g_runLog != nullptr) std::fputs(text, g_runLog);
}

void runLogReopen(int checkpoint) {
  if (g_runLog == nullptr) return;
  std::fclose(g_runLog);
  g_runLog = openLogFile(g_runLogPath.getText(), u"ab");
  runLogWrite("Log opened from internal point %d\r\n", checkpoint);
}

void runLogClose() {
  if (g_runLog == nullptr) return;
  std::fclose(g_runLog);
  g_runLog = nullptr;
}

void runLogCurrentDirectory() {
  if (g_runLog == nullptr) return;
  XString dir;
  getCurrentDir(dir);
  // A directory too long for the line is left out, as it always was.
  runLogWrite("Current working directory: %s\r\n", dir.getSizeUtf8() < 1000 ? dir.getUtf8() : "");
}
