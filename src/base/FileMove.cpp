#include "base/FileMove.h"

#include "base/Win32Path.h"

bool moveFile(const XString &from, const XString &to, bool replaceExisting, LogBase &log) {
  Win32Path source(from), target(to);
  // The plain form for short paths keeps relative names relative to the current directory.
  bool plain = source.length() < Win32Path::kMaxPlain && target.length() < Win32Path::kMaxPlain;
  if (MoveFileExW(plain ? source.wide() : source.longWide(), plain ? target.wide() : target.longWide(),
                  replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0)) {
    return true;
  }
  DWORD error = GetLastError();
  log.logWindowsError(error);
  log.logData("moveFrom", source.text());
  log.logData("moveTo", target.text());
  SetLastError(error);
  return false;
}
