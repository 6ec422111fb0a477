#include "base/FileDelete.h"

#include "base/FileAttributes.h"
#include "base/StringBuffer.h"
#include "base/Win32Path.h"
#include "base/WindowsVersion.h"

bool deleteFile(const XString &path, LogBase &log) {
  Win32Path copy(path);
  if (WindowsVersion().isVersion4()) return DeleteFileA(copy.ansi()) != FALSE;
  // MAX_PATH counts the terminator, so a plain path of 260 characters is already too long; the
  // long form also carries UNC paths as "\\?\UNC\server\share\...".
  bool plain = copy.length() < Win32Path::kMaxPlain;
  if (DeleteFileW(plain ? copy.wide() : copy.longWide())) return true;
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) return true;
  if (plain) {
    log.logWindowsError(error);
    log.logData("failedToDeleteFilepath", copy.text());
  }
  return false;
}

bool deleteFile(const char *utf8Path, LogBase &log) {
  XString path;
  path.setUtf8(utf8Path);
  return deleteFile(path, log);
}

bool deleteEvenReadOnly(const XString &path, LogBase &log) {
  LogNull quiet;
  if (deleteFile(path, quiet)) return true;
  DWORD error = GetLastError();
  uint32_t attributes = 0, attributesError = 0;
  if (error == ERROR_ACCESS_DENIED && GetAttributes(path, attributes, attributesError, quiet) &&
      (attributes & FILE_ATTRIBUTE_READONLY) != 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    uint32_t writable = attributes & ~uint32_t(FILE_ATTRIBUTE_READONLY);
    if (setAttributes(path, writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL) && deleteFile(path, quiet)) return true;
    error = GetLastError();
  }
  log.logWindowsError(error);
  log.logData("failedToDeleteFilepath", path);
  SetLastError(error);
  return false;
}
