// Files and directories over POSIX, with the Windows behaviour the file layer relies on:
// share modes between open handles, read-only files that refuse writes and deletion, hidden
// files, error codes 2/3/5/32/38/80/183.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>

#include "platform/posix/text.h"
#include "platform/win32.h"

namespace {

// Hidden, system and archive bits: POSIX has no place for them, an extended attribute does.
const char kAttributeName[] = "user.win32.attributes";
constexpr DWORD kStoredBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

struct OpenFile {
  int fd;
  dev_t device;
  ino_t inode;
  DWORD access;
  DWORD shareMode;
};

// Every handle this process holds; share-mode checks look here.
std::list<OpenFile> &openFiles() {
  static std::list<OpenFile> files;
  return files;
}

OpenFile *fromHandle(HANDLE handle) {
  for (OpenFile &f : openFiles()) {
    if (&f == handle) return &f;
  }
  return nullptr;
}

bool sharingConflict(dev_t device, ino_t inode, DWORD access, DWORD shareMode) {
  for (const OpenFile &f : openFiles()) {
    if (f.device != device || f.inode != inode) continue;
    if ((access & GENERIC_READ) && !(f.shareMode & FILE_SHARE_READ)) return true;
    if ((access & GENERIC_WRITE) && !(f.shareMode & FILE_SHARE_WRITE)) return true;
    if ((f.access & GENERIC_READ) && !(shareMode & FILE_SHARE_READ)) return true;
    if ((f.access & GENERIC_WRITE) && !(shareMode & FILE_SHARE_WRITE)) return true;
  }
  return false;
}

bool openWithoutDeleteSharing(dev_t device, ino_t inode) {
  for (const OpenFile &f : openFiles()) {
    if (f.device == device && f.inode == inode && !(f.shareMode & FILE_SHARE_DELETE)) return true;
  }
  return false;
}

DWORD storedBits(const std::string &path) {
  char text[16] = {};
  ssize_t n = getxattr(path.c_str(), kAttributeName, text, sizeof text - 1);
  return n > 0 ? DWORD(std::strtoul(text, nullptr, 10)) & kStoredBits : FILE_ATTRIBUTE_ARCHIVE;
}

void storeBits(const std::string &path, DWORD bits) {
  std::string text = std::to_string(bits & kStoredBits);
  // Without extended attributes the bits are simply not kept, as on FAT without them.
  setxattr(path.c_str(), kAttributeName, text.c_str(), text.size(), 0);
}

void storeBits(int fd, DWORD bits) {
  std::string text = std::to_string(bits & kStoredBits);
  fsetxattr(fd, kAttributeName, text.c_str(), text.size(), 0);
}

bool isReadOnly(const struct stat &st) { return !S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR) == 0; }

// Opens a name that is there already (or was when it was looked at), with Windows' checks first.
int openExisting(const std::string &path, int accessMode, DWORD access, DWORD shareMode, DWORD disposition,
                 DWORD flags, mode_t permissions, bool &exists, bool &truncate) {
  struct stat st {};
  exists = stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    // A directory opens only to set its times, and only with backup semantics.
    if (!(flags & FILE_FLAG_BACKUP_SEMANTICS) || disposition != OPEN_EXISTING) {
      SetLastError(ERROR_ACCESS_DENIED);
      return -1;
    }
  }
  if (exists && disposition == CREATE_NEW) {
    SetLastError(ERROR_FILE_EXISTS);
    return -1;
  }
  if (!exists && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)) {
    posix::setLastErrorFromErrno(ENOENT, path);
    return -1;
  }
  if (exists && (access & GENERIC_WRITE) && isReadOnly(st)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  if (exists && sharingConflict(st.st_dev, st.st_ino, access, shareMode)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return -1;
  }
  int mode = accessMode;
  if (exists && S_ISDIR(st.st_mode)) mode = O_RDONLY | O_DIRECTORY;
  if (!exists) mode |= O_CREAT | O_EXCL;
  truncate = exists && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING);
  if (truncate) mode |= O_TRUNC;
  int fd = open(path.c_str(), mode | O_CLOEXEC, permissions);
  if (fd < 0) posix::setLastErrorFromErrno(errno, path);
  return fd;
}

HANDLE createFile(const std::string &windowsPath, DWORD access, DWORD shareMode, DWORD disposition, DWORD flags) {
  std::string path = posix::toPosixPath(windowsPath);
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const int accessMode = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
  const DWORD newAttributes = flags & (FILE_ATTRIBUTE_READONLY | kStoredBits);
  const mode_t permissions = (newAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  bool exists = true, truncate = false;
  int fd = -1;
  // Extraction makes one new file after another: trying to make it first spares looking up a
  // name that is not there yet.
  if (disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) {
    fd = open(path.c_str(), accessMode | O_CREAT | O_EXCL | O_CLOEXEC, permissions);
    if (fd >= 0) {
      exists = false;
    } else if (errno != EEXIST) {
      posix::setLastErrorFromErrno(errno, path);
      return INVALID_HANDLE_VALUE;
    }
  }
  if (fd < 0) fd = openExisting(path, accessMode, access, shareMode, disposition, flags, permissions, exists, truncate);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  const DWORD bits = (newAttributes & kStoredBits) | FILE_ATTRIBUTE_ARCHIVE;
  // A new file without the attribute reads as archive-only already.
  if (truncate || (!exists && bits != FILE_ATTRIBUTE_ARCHIVE)) storeBits(fd, bits);
  struct stat st {};
  fstat(fd, &st);
  openFiles().push_back(OpenFile{fd, st.st_dev, st.st_ino, access, shareMode});
  // Windows reports ERROR_ALREADY_EXISTS after opening or replacing an existing file.
  SetLastError(exists && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                     : ERROR_SUCCESS);
  return &openFiles().back();
}

// The attributes of `path`, whose status is `st`.
DWORD attributesOf(const std::string &path, const struct stat &st) {
  DWORD bits = storedBits(path);
  if (S_ISDIR(st.st_mode)) bits = (bits & ~FILE_ATTRIBUTE_ARCHIVE) | FILE_ATTRIBUTE_DIRECTORY;
  if (isReadOnly(st)) bits |= FILE_ATTRIBUTE_READONLY;
  return bits ? bits : FILE_ATTRIBUTE_NORMAL;
}

// False, with the error set, when `windowsPath` names nothing; `path` is then its POSIX form.
bool statByName(const std::string &windowsPath, std::string &path, struct stat &st) {
  path = posix::toPosixPath(windowsPath);
  if (path.empty() || stat(path.c_str(), &st) != 0) {
    posix::setLastErrorFromErrno(path.empty() ? ENOENT : errno, path);
    return false;
  }
  return true;
}

DWORD getAttributes(const std::string &windowsPath) {
  std::string path;
  struct stat st {};
  return statByName(windowsPath, path, st) ? attributesOf(path, st) : INVALID_FILE_ATTRIBUTES;
}

void toFiletime(const timespec &ts, FILETIME *ft) {
  if (ft == nullptr) return;
  uint64_t ticks = uint64_t(int64_t(ts.tv_sec) * 10000000 + ts.tv_nsec / 100 + 116444736000000000LL);
  ft->dwLowDateTime = DWORD(ticks);
  ft->dwHighDateTime = DWORD(ticks >> 32);
}

// Creation time is not kept by POSIX; it reads back as the last write time.
void timesOf(const struct stat &st, FILETIME *creation, FILETIME *lastAccess, FILETIME *lastWrite) {
  toFiletime(st.st_mtim, creation);
  toFiletime(st.st_atim, lastAccess);
  toFiletime(st.st_mtim, lastWrite);
}

BOOL setAttributes(const std::string &windowsPath, DWORD attributes) {
  std::string path;
  struct stat st {};
  if (!statByName(windowsPath, path, st)) return FALSE;
  mode_t mode = st.st_mode & 07777;
  if (!S_ISDIR(st.st_mode)) {
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH) : mode | S_IWUSR;
  }
  if (chmod(path.c_str(), mode) != 0) {
    posix::setLastErrorFromErrno(errno, path);
    return FALSE;
  }
  storeBits(path, attributes);
  return TRUE;
}

BOOL createDirectory(const std::string &windowsPath, LPSECURITY_ATTRIBUTES security) {
  std::string path = posix::toPosixPath(windowsPath);
  if (mkdir(path.c_str(), security != nullptr ? 0700 : 0777) != 0) {
    posix::setLastErrorFromErrno(errno, path);
    return FALSE;
  }
  return TRUE;
}

BOOL removeDirectory(const std::string &windowsPath) {
  std::string path = posix::toPosixPath(windowsPath);
  if (rmdir(path.c_str()) != 0) {
    SetLastError(errno == ENOTDIR ? ERROR_DIRECTORY : posix::errorFromErrno(errno, path));
    return FALSE;
  }
  return TRUE;
}

BOOL deleteFile(const std::string &windowsPath) {
  std::string path = posix::toPosixPath(windowsPath);
  struct stat st {};
  if (path.empty() || lstat(path.c_str(), &st) != 0) {
    posix::setLastErrorFromErrno(path.empty() ? ENOENT : errno, path);
    return FALSE;
  }
  if (S_ISDIR(st.st_mode) || isReadOnly(st)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (openWithoutDeleteSharing(st.st_dev, st.st_ino)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  if (unlink(path.c_str()) != 0) {
    posix::setLastErrorFromErrno(errno, path);
    return FALSE;
  }
  return TRUE;
}

BOOL moveFile(const std::string &windowsFrom, const std::string &windowsTo, DWORD flags) {
  std::string from = posix::toPosixPath(windowsFrom), to = posix::toPosixPath(windowsTo);
  struct stat source {}, target {};
  if (from.empty() || to.empty() || lstat(from.c_str(), &source) != 0) {
    posix::setLastErrorFromErrno(from.empty() || to.empty() ? ENOENT : errno, from);
    return FALSE;
  }
  if (openWithoutDeleteSharing(source.st_dev, source.st_ino)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  if (lstat(to.c_str(), &target) == 0) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return FALSE;
    }
    if (S_ISDIR(target.st_mode) || isReadOnly(target)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (openWithoutDeleteSharing(target.st_dev, target.st_ino)) {
      SetLastError(ERROR_SHARING_VIOLATION);
      return FALSE;
    }
  }
  if (rename(from.c_str(), to.c_str()) != 0) {
    posix::setLastErrorFromErrno(errno, from);
    return FALSE;
  }
  return TRUE;
}

// Absolute, with "." and ".." resolved by name as Windows does (no symbolic links followed). A
// UNC path ("\\server\share\x") is already full and keeps its two leading separators.
std::string fullPath(const std::string &windowsPath) {
  std::string path = posix::toPosixPath(windowsPath);
  bool unc = path.size() > 2 && path[0] == '/' && path[1] == '/' && path[2] != '/';
  if (path.empty() || path[0] != '/') {
    char cwd[PATH_MAX];
    std::string base = getcwd(cwd, sizeof cwd) ? cwd : "/";
    path = base + "/" + path;
  }
  bool trailingSlash = path.size() > 1 && path.back() == '/';
  std::string out;
  size_t i = 0;
  while (i < path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    std::string part = path.substr(i, j - i);
    i = j + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      size_t slash = out.rfind('/');
      out.erase(slash == std::string::npos ? 0 : slash);
      continue;
    }
    out += "/" + part;
  }
  if (out.empty()) return "/";
  if (unc) out = "/" + out;
  return trailingSlash ? out + "/" : out;
}

std::string currentDirectory() {
  char cwd[PATH_MAX];
  return getcwd(cwd, sizeof cwd) ? cwd : "/";
}

std::string tempDirectory() {
  const char *dir = std::getenv("TMPDIR");
  std::string path = dir && *dir ? dir : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

std::string executablePath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

// Truncates like GetModuleFileName: a short buffer gets the start of the path and its size.
template <typename Char>
DWORD copyTruncated(const std::basic_string<Char> &text, Char *buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  DWORD n = DWORD(text.size()) < size ? DWORD(text.size()) : size - 1;
  std::memcpy(buffer, text.data(), n * sizeof(Char));
  buffer[n] = 0;
  if (n < text.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  return n;
}

}  // namespace

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flags, HANDLE) {
  return createFile(path ? path : "", access, shareMode, disposition, flags);
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flags, HANDLE) {
  return createFile(posix::toUtf8(path), access, shareMode, disposition, flags);
}

bool posix::closeFileHandle(HANDLE handle) {
  for (auto it = openFiles().begin(); it != openFiles().end(); ++it) {
    if (&*it == handle) {
      close(it->fd);
      openFiles().erase(it);
      return true;
    }
  }
  return false;
}

BOOL ReadFile(HANDLE handle, void *buffer, DWORD count, LPDWORD bytesRead, LPOVERLAPPED) {
  if (bytesRead) *bytesRead = 0;
  OpenFile *f = fromHandle(handle);
  if (f == nullptr || !(f->access & GENERIC_READ)) {
    SetLastError(f ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ssize_t n;
  do {
    n = read(f->fd, buffer, count);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    posix::setLastErrorFromErrno(errno);
    return FALSE;
  }
  if (bytesRead) *bytesRead = DWORD(n);
  return TRUE;
}

// The standard handles stand for descriptors 0 to 2; no file handle has such a small value.
HANDLE GetStdHandle(DWORD which) {
  if (which != STD_INPUT_HANDLE && which != STD_OUTPUT_HANDLE && which != STD_ERROR_HANDLE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
  }
  int fd = int(STD_INPUT_HANDLE - which);
  return fcntl(fd, F_GETFD) == -1 ? nullptr : reinterpret_cast<HANDLE>(uintptr_t(fd + 1));
}

BOOL WriteFile(HANDLE handle, const void *buffer, DWORD count, LPDWORD bytesWritten, LPOVERLAPPED) {
  if (bytesWritten) *bytesWritten = 0;
  uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  OpenFile *f = value >= 1 && value <= 3 ? nullptr : fromHandle(handle);
  if (f == nullptr && !(value >= 1 && value <= 3)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (f != nullptr && !(f->access & GENERIC_WRITE)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  int fd = f != nullptr ? f->fd : int(value - 1);
  DWORD done = 0;
  while (done < count) {
    ssize_t n = write(fd, static_cast<const char *>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      posix::setLastErrorFromErrno(n < 0 ? errno : ENOSPC);
      if (bytesWritten) *bytesWritten = done;
      return FALSE;
    }
    done += DWORD(n);
  }
  if (bytesWritten) *bytesWritten = done;
  return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distanceLow, PLONG distanceHigh, DWORD moveMethod) {
  OpenFile *f = fromHandle(handle);
  if (f == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  int64_t distance = distanceHigh ? int64_t((uint64_t(uint32_t(*distanceHigh)) << 32) | uint32_t(distanceLow))
                                  : int64_t(distanceLow);
  int whence = moveMethod == FILE_BEGIN ? SEEK_SET : moveMethod == FILE_CURRENT ? SEEK_CUR : SEEK_END;
  off_t base = whence == SEEK_SET ? 0 : lseek(f->fd, 0, whence);
  if (base < 0 || int64_t(base) + distance < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  off_t position = lseek(f->fd, off_t(int64_t(base) + distance), SEEK_SET);
  if (position < 0) {
    posix::setLastErrorFromErrno(errno);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh) *distanceHigh = LONG(uint64_t(position) >> 32);
  // A low part of all ones is a valid position: callers check GetLastError for 0.
  SetLastError(ERROR_SUCCESS);
  return DWORD(uint64_t(position) & 0xFFFFFFFFu);
}

DWORD GetFileSize(HANDLE handle, LPDWORD sizeHigh) {
  OpenFile *f = fromHandle(handle);
  struct stat st {};
  if (f == nullptr || fstat(f->fd, &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  if (sizeHigh) *sizeHigh = DWORD(uint64_t(st.st_size) >> 32);
  SetLastError(ERROR_SUCCESS);
  return DWORD(uint64_t(st.st_size) & 0xFFFFFFFFu);
}

BOOL SetFileTime(HANDLE handle, const FILETIME *, const FILETIME *lastAccess, const FILETIME *lastWrite) {
  OpenFile *f = fromHandle(handle);
  if (f == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  auto toTimespec = [](const FILETIME *ft) {
    timespec ts{0, UTIME_OMIT};
    if (ft == nullptr) return ts;
    int64_t ticks = int64_t((uint64_t(ft->dwHighDateTime) << 32) | ft->dwLowDateTime);
    int64_t sinceUnix = ticks - 116444736000000000LL;
    int64_t seconds = sinceUnix / 10000000, rest = sinceUnix % 10000000;
    if (rest < 0) {
      rest += 10000000;
      --seconds;
    }
    ts.tv_sec = time_t(seconds);
    ts.tv_nsec = long(rest * 100);
    return ts;
  };
  timespec times[2] = {toTimespec(lastAccess), toTimespec(lastWrite)};
  if (futimens(f->fd, times) != 0) {
    posix::setLastErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}

BOOL GetFileTime(HANDLE handle, FILETIME *creation, FILETIME *lastAccess, FILETIME *lastWrite) {
  OpenFile *f = fromHandle(handle);
  struct stat st {};
  if (f == nullptr || fstat(f->fd, &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  timesOf(st, creation, lastAccess, lastWrite);
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path) { return getAttributes(path ? path : ""); }
DWORD GetFileAttributesW(LPCWSTR path) { return getAttributes(posix::toUtf8(path)); }

BOOL GetFileAttributesExW(LPCWSTR name, GET_FILEEX_INFO_LEVELS, void *information) {
  std::string path;
  struct stat st {};
  if (!statByName(posix::toUtf8(name), path, st)) return FALSE;
  auto *data = static_cast<WIN32_FILE_ATTRIBUTE_DATA *>(information);
  data->dwFileAttributes = attributesOf(path, st);
  timesOf(st, &data->ftCreationTime, &data->ftLastAccessTime, &data->ftLastWriteTime);
  const uint64_t size = S_ISDIR(st.st_mode) ? 0 : uint64_t(st.st_size);
  data->nFileSizeHigh = DWORD(size >> 32);
  data->nFileSizeLow = DWORD(size);
  return TRUE;
}
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) { return setAttributes(path ? path : "", attributes); }
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes) { return setAttributes(posix::toUtf8(path), attributes); }
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
  return createDirectory(path ? path : "", security);
}
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security) {
  return createDirectory(posix::toUtf8(path), security);
}
BOOL RemoveDirectoryA(LPCSTR path) { return removeDirectory(path ? path : ""); }
BOOL RemoveDirectoryW(LPCWSTR path) { return removeDirectory(posix::toUtf8(path)); }
BOOL DeleteFileA(LPCSTR path) { return deleteFile(path ? path : ""); }
BOOL DeleteFileW(LPCWSTR path) { return deleteFile(posix::toUtf8(path)); }
BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags) {
  return moveFile(posix::toUtf8(existing), posix::toUtf8(target), flags);
}

DWORD GetFullPathNameA(LPCSTR path, DWORD bufferLength, LPSTR buffer, LPSTR *filePart) {
  if (path == nullptr || *path == 0) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  std::string full = fullPath(path);
  DWORD n = posix::copyOut(full, bufferLength, buffer);
  if (filePart && n < bufferLength) {
    size_t slash = full.rfind('/');
    *filePart = slash + 1 < full.size() ? buffer + slash + 1 : nullptr;
  }
  return n;
}

DWORD GetFullPathNameW(LPCWSTR path, DWORD bufferLength, LPWSTR buffer, LPWSTR *filePart) {
  if (path == nullptr || *path == 0) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  std::u16string full = posix::toUtf16(fullPath(posix::toUtf8(path)));
  DWORD n = posix::copyOut(full, bufferLength, buffer);
  if (filePart && n < bufferLength) {
    size_t slash = full.rfind(u'/');
    *filePart = slash + 1 < full.size() ? buffer + slash + 1 : nullptr;
  }
  return n;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
  return posix::copyOut(currentDirectory(), bufferLength, buffer);
}

DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer) {
  return posix::copyOut(posix::toUtf16(currentDirectory()), bufferLength, buffer);
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  std::string p = posix::toPosixPath(path ? path : "");
  if (chdir(p.c_str()) != 0) {
    posix::setLastErrorFromErrno(errno, p);
    return FALSE;
  }
  return TRUE;
}

BOOL SetCurrentDirectoryW(LPCWSTR path) {
  std::string p = posix::toUtf8(path);
  return SetCurrentDirectoryA(p.c_str());
}

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer) { return posix::copyOut(tempDirectory(), bufferLength, buffer); }

DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer) {
  return posix::copyOut(posix::toUtf16(tempDirectory()), bufferLength, buffer);
}

DWORD GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) { return copyTruncated(executablePath(), buffer, size); }

DWORD GetModuleFileNameW(HMODULE, LPWSTR buffer, DWORD size) {
  return copyTruncated(posix::toUtf16(executablePath()), buffer, size);
}

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
  if (info == nullptr || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  info->dwMajorVersion = 6;
  info->dwMinorVersion = 2;
  info->dwBuildNumber = 9200;
  info->dwPlatformId = 2;
  info->szCSDVersion[0] = 0;
  return TRUE;
}

std::FILE *_wfopen(LPCWSTR path, LPCWSTR mode) {
  if (path == nullptr || mode == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  return std::fopen(posix::toPosixPath(posix::toUtf8(path)).c_str(), posix::toUtf8(mode).c_str());
}
