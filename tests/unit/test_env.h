#pragma once

#include <cstdlib>

// Sets a variable of this process's environment, on both builds.
inline void setTestVariable(const char *name, const char *value) {
#ifdef _WIN32
  _putenv_s(name, value);
#else
  setenv(name, value, 1);
#endif
}

#ifdef _WIN32
#include <windows.h>
#endif

// The same with a UTF-8 value that the ANSI code page may lack; on Windows it goes into the
// environment block that GetEnvironmentVariableW reads.
inline void setTestVariableUtf8(const char *name, const char *value) {
#ifdef _WIN32
  wchar_t wideName[256] = {}, wideValue[1024] = {};
  MultiByteToWideChar(CP_UTF8, 0, name, -1, wideName, 256);
  MultiByteToWideChar(CP_UTF8, 0, value, -1, wideValue, 1024);
  SetEnvironmentVariableW(wideName, wideValue);
#else
  setenv(name, value, 1);
#endif
}
