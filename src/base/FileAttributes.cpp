#include "base/FileAttributes.h"

#include "base/Win32Path.h"
#include "base/WindowsVersion.h"

namespace {
constexpr DWORD kErrorNotReady = 21;
}

bool GetAttributes(const XString &path, uint32_t &attributes, uint32_t &windowsError, LogBase &log) {
  attributes = INVALID_FILE_ATTRIBUTES;
  windowsError = 0;
  if (path.isEmpty()) {
    log.logError("GetAttributes: filename is empty");
    return false;
  }
  Win32Path copy(path);
  bool ansi = copy.length() < Win32Path::kMaxPlain && (copy.ansiSafe() || WindowsVersion().isVersion4());
  attributes = ansi ? GetFileAttributesA(copy.ansi()) : GetFileAttributesW(copy.longWide());
  if (attributes != INVALID_FILE_ATTRIBUTES) return true;
  windowsError = GetLastError();
  return false;
}

bool setAttributes(const XString &path, uint32_t attributes) {
  Win32Path copy(path);
  copy.sanitize(true);
  if (WindowsVersion().isVersion4()) return SetFileAttributesA(copy.ansi(), attributes) != FALSE;
  return SetFileAttributesW(copy.longWide(), attributes) != FALSE;
}

bool fileExists(const XString &path, LogBase &log) {
  if (path.isEmpty()) return false;
  uint32_t attributes = 0, error = 0;
  if (GetAttributes(path, attributes, error, log)) return true;
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != kErrorNotReady) return true;
  log.logWindowsError(error);
  return false;
}

bool fileExists(const char *utf8Path, LogBase &log) {
  XString path;
  path.setUtf8(utf8Path);
  return fileExists(path, log);
}
