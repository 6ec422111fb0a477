#include "base/FileOpen.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "FileTestDir.h"
#include "base/Directories.h"
#include "base/FileAttributes.h"
#include "base/FileDelete.h"
#include "base/PathQueries.h"
#include "base/TimeValue.h"
#include "unit/compress/RecordingLog.h"
#include "unit/test_env.h"

namespace {
class FileOpen : public FileTestDir {
 protected:
  static XString &x(const std::string &utf8) {
    static XString text[4];
    static int next = 0;
    XString &slot = text[next++ % 4];
    slot.setUtf8(utf8.c_str());
    return slot;
  }

  std::string deepPath(size_t minLength) {
    std::string p = root;
    int level = 0;
    while (p.size() < minLength) {
      p += "\\level" + std::to_string(level++) + std::string(24, 'd');
      path(p.substr(root.size() + 1));
    }
    return p;
  }

  static uint32_t attributesOf(const std::string &p) {
    uint32_t attributes = 0, error = 0;
    LogNull quiet;
    GetAttributes(x(p), attributes, error, quiet);
    return attributes;
  }

  static bool writeAll(QuorvelHandle *h, const std::string &text) {
    LogNull quiet;
    return h != nullptr && h->writeBytes(text.data(), text.size(), nullptr, quiet);
  }
};

// The form in which the layer hands paths to Windows and to the log.
std::string backslashed(std::string p) {
  for (char &c : p) {
    if (c == '/') c = '\\';
  }
  return p;
}

std::string firstError(const RecordingLog &log) {
  for (const auto &e : log.entries)
    if (e.rfind("error:", 0) == 0) return e;
  return "";
}
}  // namespace

TEST_F(FileOpen, PathsBeyond260CharactersOpenThroughTheLongForm) {
  RecordingLog log;
  std::string dir = deepPath(300);
  ASSERT_TRUE(ensureDirExists(dir.c_str(), nullptr, log)) << firstError(log);
  std::string file = dir + "\\long.txt";
  path(file.substr(root.size() + 1));
  int kind = 7;
  QuorvelHandle *h = openForWriteWin32(x(file), kind, log);
  ASSERT_NE(h, nullptr) << firstError(log);
  EXPECT_EQ(kind, kOpenNoError);
  EXPECT_TRUE(writeAll(h, "far down"));
  delete h;
  EXPECT_TRUE(fileExists(x(file), log));
  EXPECT_EQ(attributesOf(file) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  h = openForReadWin32(x(file), kind, log);
  ASSERT_NE(h, nullptr);
  char buf[16];
  uint64_t got = 0;
  bool eof = false;
  EXPECT_TRUE(h->readBytes(buf, sizeof buf, got, eof, log));
  EXPECT_EQ(std::string(buf, got), "far down");
  delete h;
  EXPECT_TRUE(deleteFile(x(file), log));
  EXPECT_FALSE(fileExists(x(file), log));
  EXPECT_TRUE(removeDirectory(x(dir), log));
  EXPECT_FALSE(fileExists(x(dir), log));
}

TEST_F(FileOpen, PathsAroundTheAnsiLimit) {
  RecordingLog log;
  std::string dir = root + "\\" + std::string(20, 'e');
  path(std::string(20, 'e'));
  ASSERT_TRUE(createDirectory(x(dir), log));
  XString full;
  getFullPath(x(dir), full);
  // Windows measures the full path; make names that bring it to 259 and 260 characters.
  size_t base = std::string(full.getUtf8()).size() + 1;
  ASSERT_LT(base, 250u);
  for (size_t length : {259u, 260u, 261u}) {
    std::string file = dir + "\\" + std::string(length - base, 'f');
    path(file.substr(root.size() + 1));
    int kind = 0;
    QuorvelHandle *h = openForWriteWin32(x(file), kind, log);
    ASSERT_NE(h, nullptr) << length << " " << firstError(log);
    delete h;
    EXPECT_TRUE(fileExists(x(file), log)) << length;
    EXPECT_TRUE(deleteFile(x(file), log)) << length;
    EXPECT_FALSE(fileExists(x(file), log)) << length;
  }
}

TEST_F(FileOpen, ReadOnlyFileIsMadeWritableAndTruncated) {
  std::string p = path("ro.txt");
  ASSERT_TRUE(writeFile(p, "old content"));
  ASSERT_TRUE(setAttributes(x(p), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_EQ(attributesOf(p), uint32_t(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  RecordingLog log;
  int kind = 0;
  // Reading leaves the attribute alone.
  delete openForReadWin32(x(p), kind, log);
  EXPECT_EQ(attributesOf(p) & FILE_ATTRIBUTE_READONLY, uint32_t(FILE_ATTRIBUTE_READONLY));
  QuorvelHandle handle;
  ASSERT_TRUE(openHandleForWrite(handle, x(p), kind, log)) << firstError(log);
  EXPECT_EQ(attributesOf(p), uint32_t(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(handle.getFileSize64(log), 0);
  handle.closeFile();
  // The first attempt's failure is in the log; the open as a whole succeeded.
  EXPECT_EQ(firstError(log), "error:Failed to open file (2)");
  EXPECT_EQ(kind, kOpenNoError);
}

TEST_F(FileOpen, HiddenFilesAndAttributeRoundTrips) {
  std::string p = path("hidden.txt");
  RecordingLog log;
  int kind = 0;
  QuorvelHandle handle;
  ASSERT_TRUE(openHandleForWriteHidden(handle, x(p), kind, log));
  handle.closeFile();
  EXPECT_EQ(attributesOf(p) & FILE_ATTRIBUTE_HIDDEN, uint32_t(FILE_ATTRIBUTE_HIDDEN));
  // Wine reports the archive bit on every file and cannot add hidden to a read-only file (it
  // keeps that bit where the file's owner may no longer write), so only these are compared.
  const uint32_t kCompared = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  for (uint32_t bits : {uint32_t(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), uint32_t(FILE_ATTRIBUTE_NORMAL),
                        uint32_t(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE), uint32_t(FILE_ATTRIBUTE_HIDDEN)}) {
    ASSERT_TRUE(setAttributes(x(p), bits));
    EXPECT_EQ(attributesOf(p) & kCompared, bits & kCompared) << bits;
  }
  uint32_t attributes = 0, error = 0;
  EXPECT_TRUE(GetAttributes(x(root), attributes, error, log));
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, uint32_t(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_FALSE(GetAttributes(x(root + "\\missing"), attributes, error, log));
  EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(error, uint32_t(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(GetAttributes(x(""), attributes, error, log));
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(log.entries.back(), "error:GetAttributes: filename is empty");
}

TEST_F(FileOpen, WritesSanitiseTheNameAndReadsDoNot) {
  RecordingLog log;
  int kind = 0;
  std::string device = path("con.txt");
  path("_con.txt");
  path("a_b.txt");
  QuorvelHandle *h = openForWriteWin32(x(device), kind, log);
  ASSERT_NE(h, nullptr) << firstError(log);
  delete h;
  EXPECT_TRUE(exists(root + "\\_con.txt"));
  h = openForWriteWin32(x(root + "/a:b.txt"), kind, log);
  ASSERT_NE(h, nullptr);
  delete h;
  EXPECT_TRUE(exists(root + "\\a_b.txt"));
  EXPECT_EQ(openForWriteWin32(x(""), kind, log), nullptr);
}

TEST_F(FileOpen, SharingViolationIsRetried) {
  std::string p = path("shared.txt");
  ASSERT_TRUE(writeFile(p, "x"));
  // Another writer holds the file and lets others read and write.
  HANDLE writer = CreateFileA(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  RecordingLog log;
  uint32_t error = 0;
  // Asking to share only reading conflicts with that writer. The ANSI open lets it write from the
  // first retry on and so gets in; the wide open keeps its share mode and gives up after the retries.
  QuorvelHandle *h = createFileAnsi(x(p), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0, error, log);
  EXPECT_NE(h, nullptr);
  EXPECT_EQ(error, uint32_t(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(log.entries.empty());
  delete h;
  h = createFileWide(x(p), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0, error, log);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(error, uint32_t(ERROR_SHARING_VIOLATION));
  ASSERT_EQ(log.entries.size(), 3u);
  EXPECT_EQ(log.entries[0], "error:Failed to open file (3)");
  EXPECT_EQ(log.entries[1], "utf8Filename=" + backslashed(p));
  EXPECT_EQ(log.entries[2].rfind("osErrorInfo=", 0), 0u);
  log.entries.clear();
  // The exclusive write open meets the same writer: a sharing violation is "another failure".
  int kind = 0;
  EXPECT_EQ(openForWriteWin32(x(p), kind, log), nullptr);
  EXPECT_EQ(kind, kOpenOtherError);
  EXPECT_TRUE(log.has("localWindowsFilePath=" + backslashed(p)));
  CloseHandle(writer);
}

TEST_F(FileOpen, ErrorKindsAndMessagesOfFailedOpens) {
  RecordingLog log;
  int kind = 0;
  std::string missingDir = root + "\\nodir\\f.txt";
  EXPECT_EQ(openForReadWin32(x(missingDir), kind, log), nullptr);
  EXPECT_EQ(kind, kOpenPathNotFound);
  ASSERT_GE(log.entries.size(), 5u);
  EXPECT_EQ(log.entries[0], "error:Failed to open file (2)");
  EXPECT_EQ(log.entries[1], "localFilePath=" + backslashed(missingDir));
  EXPECT_EQ(log.entries[2].rfind("currentWorkingDirectory=", 0), 0u);
  EXPECT_EQ(log.entries[3].rfind("osErrorInfo=", 0), 0u);
  EXPECT_EQ(log.entries[4], "localWindowsFilePath=" + backslashed(missingDir));
  EXPECT_EQ(openForReadWin32(x(root + "\\missing.txt"), kind, log), nullptr);
  EXPECT_EQ(kind, kOpenOtherError);
  // A directory cannot be opened as a file.
  EXPECT_EQ(openForReadWriteWin32(x(root), false, kind, log), nullptr);
  EXPECT_EQ(kind, kOpenAccessDenied);
  QuorvelHandle handle;
  EXPECT_FALSE(openHandleForReadWrite(handle, x(root), true, kind, log));
  EXPECT_FALSE(handle.isOpen());
}

TEST_F(FileOpen, ReadWriteOpenKeepsContent) {
  std::string p = path("rw.txt");
  ASSERT_TRUE(writeFile(p, "keep"));
  RecordingLog log;
  int kind = 0;
  QuorvelHandle handle;
  ASSERT_TRUE(openHandleForReadWrite(handle, x(p), false, kind, log));
  EXPECT_EQ(handle.getFileSize64(log), 4);
  ASSERT_TRUE(handle.seekToEnd(log));
  EXPECT_TRUE(handle.writeBytes("!", 1, nullptr, log));
  // Shared: a reader gets in beside it.
  QuorvelHandle *reader = openForReadWin32(x(p), kind, log);
  EXPECT_NE(reader, nullptr);
  delete reader;
  handle.closeFile();
  EXPECT_EQ(readFile(p), "keep!");
}

namespace {
// Seconds east of Greenwich at a moment, by the system's own rules, without the code under test.
int64_t offsetAt(int64_t seconds) {
#ifdef _WIN32
  uint64_t ticks = uint64_t(seconds + 11644473600LL) * 10000000ULL;
  FILETIME utc{DWORD(ticks), DWORD(ticks >> 32)};
  SYSTEMTIME utcFields{}, localFields{};
  FileTimeToSystemTime(&utc, &utcFields);
  SystemTimeToTzSpecificLocalTime(nullptr, &utcFields, &localFields);
  FILETIME local{};
  SystemTimeToFileTime(&localFields, &local);
  uint64_t localTicks = uint64_t(local.dwHighDateTime) << 32 | local.dwLowDateTime;
  return (int64_t(localTicks) - int64_t(ticks)) / 10000000;
#else
  time_t moment = time_t(seconds);
  struct tm fields {};
  localtime_r(&moment, &fields);
  return fields.tm_gmtoff;
#endif
}

uint64_t lastWriteSeconds(const std::string &p) {
  HANDLE h = CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  FILETIME written{};
  GetFileTime(h, nullptr, nullptr, &written);
  CloseHandle(h);
  return (uint64_t(written.dwHighDateTime) << 32 | written.dwLowDateTime) / 10000000ULL - 11644473600ULL;
}
}  // namespace

TEST_F(FileOpen, FileTimesGoThroughTheLocalOffsetCorrection) {
#ifndef _WIN32
  // Under Wine the zone is the host's; here a zone with daylight saving is chosen.
  setTestVariable("TZ", "Europe/Berlin");
  tzset();
#endif
  std::string file = path("timed.txt");
  ASSERT_TRUE(writeFile(file, "t"));
  std::string dir = path("timedDir");
  RecordingLog log;
  ASSERT_TRUE(createDirectory(x(dir), log));
  const int64_t now = int64_t(time(nullptr));
  for (int64_t moment : {int64_t(1593601200), int64_t(1577880000)}) {  // 2020-07-01 11:00, 2020-01-01 12:00 UTC
    TimeValue value;
    value.setSeconds(moment);
    const uint64_t expected = uint64_t(moment + (offsetAt(now) - offsetAt(moment)));
    ASSERT_TRUE(setFileTimesByPath(x(file), value, log)) << firstError(log);
    EXPECT_EQ(lastWriteSeconds(file), expected);
    int kind = 0;
    QuorvelHandle handle;
    ASSERT_TRUE(openHandleForTimes(handle, x(dir), kind, log)) << firstError(log);
    EXPECT_TRUE(handle.setFileTimes(value, log));
    handle.closeFile();
    EXPECT_EQ(lastWriteSeconds(dir), expected);
  }
  EXPECT_FALSE(setFileTimesByPath(x(root + "\\missing"), TimeValue(), log));
#ifndef _WIN32
  unsetenv("TZ");
  tzset();
#endif
}
