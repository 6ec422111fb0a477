#include "base/Directories.h"

#include <cstring>
#include <new>

#include "base/ExtPtrArray.h"
#include "base/FileAttributes.h"
#include "base/StringBuffer.h"
#include "base/Win32Path.h"
#include "base/WindowsVersion.h"

namespace {
bool createAndRecord(const char *utf8Path, ExtPtrArray *createdList, LogBase &log) {
  bool created = false;
  if (!createDirIfMissing(utf8Path, created, log)) return false;
  if (!created || createdList == nullptr) return true;
  StringBuffer *item = new (std::nothrow) StringBuffer();
  if (item == nullptr) return false;
  if (!item->append(utf8Path) || !item->appendChar('D') || !createdList->append(item)) {
    delete item;
    return false;
  }
  return true;
}

bool cannotEnsure(const char *utf8Path, LogBase &log) {
  log.logError("Cannot ensure directory existence");
  log.logData("path", utf8Path);
  return false;
}

// Index of the first component that may need creating: past a long prefix, a UNC server and
// share or a drive, and the backslashes after them. A bare UNC share has none: kWholeOnly.
constexpr uint32_t kWholeOnly = 0xFFFFFFFF;

uint32_t firstCreatable(const char *t) {
  uint32_t p = 0;
  bool unc = false;
  if (std::strncmp(t, "\\\\?\\", 4) == 0) {
    p = 4;
    if (std::strncmp(t + p, "UNC\\", 4) == 0) {
      p = 8;
      unc = true;
    }
  }
  if (!unc && std::strncmp(t + p, "\\\\", 2) == 0) {
    p += 2;
    unc = true;
  }
  const char *server = unc ? std::strchr(t + p, '\\') : nullptr;
  if (server != nullptr) {
    const char *share = std::strchr(server + 1, '\\');
    if (share == nullptr || share[1] == 0) return kWholeOnly;
    p = uint32_t(share + 1 - t);
  } else if (t[p] != 0 && t[p + 1] == ':') {
    p += 2;
  }
  while (t[p] == '\\') ++p;
  return p;
}
}  // namespace

bool createDirectory(const XString &path, LogBase &log) {
  Win32Path copy(path);
  BOOL ok = WindowsVersion().isVersion4() ? CreateDirectoryA(copy.ansi(), nullptr)
                                          : CreateDirectoryW(copy.longWide(), nullptr);
  if (!ok) {
    StringBuffer reason;
    reason.appendLastWindowsError();
    log.logData("errorMsg", reason);
  }
  return ok != FALSE;
}

bool createDirIfMissing(const char *utf8Path, bool &created, LogBase &log) {
  created = false;
  if (utf8Path == nullptr || *utf8Path == 0 || std::strcmp(utf8Path, ".") == 0) return true;
  XString path;
  path.setUtf8(utf8Path);
  if (fileExists(path, log)) return true;
  created = createDirectory(path, log);
  return created;
}

bool ensureDirExists(const char *utf8Path, ExtPtrArray *createdList, LogBase &log) {
  StringBuffer path(utf8Path);
  path.trim();
  if (path.isEmpty()) return true;
  path.replaceCharBytes('/', '\\');
  if (createAndRecord(path.getText(), createdList, log)) return true;

  const char *t = path.getText();
  uint32_t p = firstCreatable(t);
  if (p == kWholeOnly) return createAndRecord(t, createdList, log);
  const char *cut = std::strchr(t + p, '\\');
  if (cut == nullptr) return cannotEnsure(t, log);
  while (cut != nullptr) {
    StringBuffer prefix;
    prefix.appendBytes(t, uint32_t(cut - t));
    if (!createAndRecord(prefix.getText(), createdList, log)) return cannotEnsure(prefix.getText(), log);
    cut = std::strchr(cut + 1, '\\');
  }
  if (!createAndRecord(t, createdList, log)) return cannotEnsure(t, log);
  return true;
}

bool ensureParentDir(const char *utf8FilePath, StringBuffer &dirPart, ExtPtrArray *createdList, LogBase &log) {
  if (utf8FilePath == nullptr) {
    log.logError("No filePath");
    return false;
  }
  if (!parentDirOf(utf8FilePath, dirPart)) return true;
  return dirPart.isEmpty() || ensureDirExists(dirPart.getText(), createdList, log);
}

bool parentDirOf(const char *utf8FilePath, StringBuffer &dirPart) {
  dirPart.setString(utf8FilePath);
  dirPart.replaceCharBytes('/', '\\');
  dirPart.trim();
  const char *t = dirPart.getText();
  const char *last = std::strrchr(t, '\\');
  if (last == nullptr || last == t) return false;
  dirPart.shortenBy(dirPart.getSize() - uint32_t(last - t));
  return true;
}

bool removeDirectory(const XString &path, LogBase &log) {
  Win32Path copy(path);
  if (RemoveDirectoryW(copy.longWide())) return true;
  log.logLastWindowsError();
  return false;
}
