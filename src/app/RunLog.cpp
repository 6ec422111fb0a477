#include "app/RunLog.h"

#include <cstdarg>
#include <cstdio>

#include "app/AppState.h"
#include "platform/win32.h"

bool runLogIsOpen() { return g_runLog != nullptr; }

bool runLogOpen(const char *path) {
  g_runLogPath.setString(path);
  g_runLog = std::fopen(path, "wb");
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
  g_runLog = std::fopen(g_runLogPath.getText(), "ab");
  runLogWrite("Log opened from internal point %d\r\n", checkpoint);
}

void runLogClose() {
  if (g_runLog == nullptr) return;
  std::fclose(g_runLog);
  g_runLog = nullptr;
}

void runLogCurrentDirectory() {
  if (g_runLog == nullptr) return;
  char dir[1000];
  DWORD length = GetCurrentDirectoryA(sizeof dir, dir);
  if (length == 0 || length >= sizeof dir) dir[0] = 0;
  runLogWrite("Current working directory: %s\r\n", dir);
}
