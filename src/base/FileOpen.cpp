#include "base/FileOpen.h"

#include <new>

#include "base/FileAttributes.h"
#include "base/PathQueries.h"
#include "base/TimeValue.h"
#include "base/Win32Path.h"
#include "base/WindowsVersion.h"

namespace {
constexpr int kSharingRetries = 3;
constexpr DWORD kSharingRetryMs = 50;
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareReadDelete = FILE_SHARE_READ | FILE_SHARE_DELETE;

struct OpenArgs {
  DWORD access;
  DWORD shareMode;
  DWORD disposition;
  DWORD flags;
};

template <typename Create>
QuorvelHandle *createWithRetries(Create create, DWORD shareMode, bool widenShareRead, uint32_t &windowsError) {
  QuorvelHandle *handle = new (std::nothrow) QuorvelHandle();
  if (handle == nullptr) return nullptr;
  for (int attempt = 0;; ++attempt) {
    HANDLE h = create(shareMode);
    if (h != INVALID_HANDLE_VALUE) {
      QuorvelHandle opened(h);
      handle->takeOver(opened);
      return handle;
    }
    windowsError = GetLastError();
    if (windowsError != ERROR_SHARING_VIOLATION || attempt == kSharingRetries) break;
    Sleep(kSharingRetryMs);
    if (widenShareRead && shareMode == FILE_SHARE_READ) shareMode = kShareReadWrite;
  }
  delete handle;
  return nullptr;
}

void logOsError(uint32_t windowsError, LogBase &log) {
  StringBuffer text;
  text.appendWindowsError(windowsError);
  log.logData("osErrorInfo", text);
}

int errorKindOf(uint32_t windowsError) {
  if (windowsError == ERROR_ACCESS_DENIED) return kOpenAccessDenied;
  if (windowsError == ERROR_PATH_NOT_FOUND) return kOpenPathNotFound;
  return kOpenOtherError;
}

// The ANSI call for short paths the code page can hold, else the wide call on the long form;
// plainWide allows the wide call on the path as it is below 260 characters.
QuorvelHandle *createByForm(Win32Path &path, const OpenArgs &args, bool plainWide, uint32_t &windowsError,
                            LogBase &log) {
  bool shortPath = path.length() < Win32Path::kMaxPlain;
  if (shortPath && (path.ansiSafe() || WindowsVersion().isVersion4())) {
    return createFileAnsi(path.text(), args.access, args.shareMode, args.disposition, args.flags, windowsError, log);
  }
  XString widePath;
  if (plainWide && shortPath) {
    widePath.copyFrom(path.text());
  } else {
    widePath.setUtf16(reinterpret_cast<const char16_t *>(path.longWide()));
  }
  return createFileWide(widePath, args.access, args.shareMode, args.disposition, args.flags, windowsError, log);
}

void reportOpenFailure(const XString &path, uint32_t windowsError, int &errorKind, LogBase &log) {
  errorKind = errorKindOf(windowsError);
  log.logData("localWindowsFilePath", path);
}

QuorvelHandle *openFileWin32(const XString &path, bool read, bool write, bool exclusive, bool hidden,
                             int &errorKind, LogBase &log) {
  errorKind = kOpenNoError;
  Win32Path copy(path);
  copy.sanitize(write);
  if (copy.text().isEmpty()) return nullptr;
  OpenArgs args{};
  args.access = (read ? GENERIC_READ : 0) | (write ? GENERIC_WRITE : 0);
  args.disposition = !write ? OPEN_EXISTING : read ? OPEN_ALWAYS : CREATE_ALWAYS;
  args.shareMode = read && !exclusive ? kShareReadWrite : 0;
  args.flags = hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL;

  uint32_t windowsError = 0;
  QuorvelHandle *handle = createByForm(copy, args, false, windowsError, log);
  // Clearing the read-only attribute can only help a write; a read keeps the user's attribute.
  uint32_t attributes = 0, attributesError = 0;
  if (handle == nullptr && write && GetAttributes(copy.text(), attributes, attributesError, log) &&
      (attributes & FILE_ATTRIBUTE_READONLY)) {
    uint32_t writable = attributes & ~uint32_t(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
    if (setAttributes(copy.text(), writable ? writable : FILE_ATTRIBUTE_NORMAL)) {
      handle = createByForm(copy, args, false, windowsError, log);
    }
  }
  if (handle == nullptr) reportOpenFailure(copy.text(), windowsError, errorKind, log);
  return handle;
}

bool moveInto(QuorvelHandle &handle, QuorvelHandle *opened) {
  if (opened == nullptr) return false;
  handle.takeOver(*opened);
  delete opened;
  return true;
}

const OpenArgs kTimesArgs{GENERIC_READ | GENERIC_WRITE, kShareReadDelete, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS};
}  // namespace

QuorvelHandle *openForReadWin32(const XString &path, int &errorKind, LogBase &log) {
  return openFileWin32(path, true, false, false, false, errorKind, log);
}

QuorvelHandle *openForWriteWin32(const XString &path, int &errorKind, LogBase &log) {
  LogContextExitor context(log, "openForWriteWin32");
  return openFileWin32(path, false, true, true, false, errorKind, log);
}

QuorvelHandle *openForWriteHiddenWin32(const XString &path, int &errorKind, LogBase &log) {
  LogContextExitor context(log, "openForWriteHiddenWin32");
  return openFileWin32(path, false, true, true, true, errorKind, log);
}

QuorvelHandle *openForReadWriteWin32(const XString &path, bool exclusive, int &errorKind, LogBase &log) {
  LogContextExitor context(log, "openForReadWriteWin32");
  return openFileWin32(path, true, true, exclusive, false, errorKind, log);
}

QuorvelHandle *openForTimesWin32(const XString &path, int &errorKind, LogBase &log) {
  errorKind = kOpenNoError;
  Win32Path copy(path);
  uint32_t windowsError = 0;
  QuorvelHandle *handle = createByForm(copy, kTimesArgs, true, windowsError, log);
  if (handle == nullptr) reportOpenFailure(copy.text(), windowsError, errorKind, log);
  return handle;
}

bool openHandleForWrite(QuorvelHandle &handle, const XString &path, int &errorKind, LogBase &log) {
  return moveInto(handle, openForWriteWin32(path, errorKind, log));
}

bool openHandleForWriteHidden(QuorvelHandle &handle, const XString &path, int &errorKind, LogBase &log) {
  return moveInto(handle, openForWriteHiddenWin32(path, errorKind, log));
}

bool openHandleForReadWrite(QuorvelHandle &handle, const XString &path, bool exclusive, int &errorKind,
                            LogBase &log) {
  return moveInto(handle, openForReadWriteWin32(path, exclusive, errorKind, log));
}

bool openHandleForTimes(QuorvelHandle &handle, const XString &path, int &errorKind, LogBase &log) {
  return moveInto(handle, openForTimesWin32(path, errorKind, log));
}

bool setFileTimesByPath(const XString &path, const TimeValue &time, LogBase &log) {
  uint32_t windowsError = 0;
  QuorvelHandle *handle = createFileWide(path, kTimesArgs.access, kTimesArgs.shareMode, kTimesArgs.disposition,
                                         kTimesArgs.flags, windowsError, log);
  if (handle == nullptr) return false;
  bool ok = handle->setFileTimes(time, log);
  delete handle;
  return ok;
}

QuorvelHandle *createFileAnsi(const XString &path, uint32_t access, uint32_t shareMode, uint32_t disposition,
                              uint32_t flagsAndAttributes, uint32_t &windowsError, LogBase &log) {
  Win32Path copy(path);
  const char *ansi = copy.ansi();
  QuorvelHandle *handle = createWithRetries(
      [&](DWORD share) { return CreateFileA(ansi, access, share, nullptr, disposition, flagsAndAttributes, nullptr); },
      shareMode, true, windowsError);
  if (handle == nullptr) {
    log.logError("Failed to open file (2)");
    log.logData("localFilePath", copy.text());
    XString current;
    getCurrentDir(current);
    log.logData("currentWorkingDirectory", current);
    logOsError(windowsError, log);
  }
  return handle;
}

QuorvelHandle *createFileWide(const XString &path, uint32_t access, uint32_t shareMode, uint32_t disposition,
                              uint32_t flagsAndAttributes, uint32_t &windowsError, LogBase &log) {
  Win32Path copy(path);
  LPCWSTR wide = copy.wide();
  QuorvelHandle *handle = createWithRetries(
      [&](DWORD share) { return CreateFileW(wide, access, share, nullptr, disposition, flagsAndAttributes, nullptr); },
      shareMode, false, windowsError);
  if (handle == nullptr) {
    log.logError("Failed to open file (3)");
    log.logData("utf8Filename", copy.text());
    logOsError(windowsError, log);
  }
  return handle;
}
