// The file calls as the file layer uses them. The same tests run natively against the POSIX
// emulation and under Wine against the real Win32 calls, so they pin the emulation to Windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/win32.h"

namespace {
using Path = std::u16string;

LPCWSTR w(const Path &p) { return reinterpret_cast<LPCWSTR>(p.c_str()); }

Path tempRoot() {
  char16_t buf[1024];
  DWORD n = GetTempPathW(1024, reinterpret_cast<LPWSTR>(buf));
  return Path(buf, n);
}

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = tempRoot() + u"sfxplat" + Path(1, char16_t(u'A' + GetTickCount() % 26)) +
          Path(1, char16_t(u'a' + (GetCurrentThreadId() + GetTickCount() / 26) % 26));
    ASSERT_TRUE(CreateDirectoryW(w(dir), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  }
  void TearDown() override {
    for (const Path &f : created) {
      SetFileAttributesW(w(f), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(w(f));
    }
    for (auto it = dirs.rbegin(); it != dirs.rend(); ++it) RemoveDirectoryW(w(*it));
    RemoveDirectoryW(w(dir));
  }
  Path file(const Path &name) {
    created.push_back(dir + u"\\" + name);
    return created.back();
  }
  HANDLE open(const Path &p, DWORD access, DWORD share, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileW(w(p), access, share, nullptr, disposition, flags, nullptr);
  }

  Path dir;
  std::vector<Path> created, dirs;
};
}  // namespace

TEST_F(Files, WriteSeekReadRoundTrip) {
  Path p = file(u"data.bin");
  HANDLE h = open(p, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
  EXPECT_EQ(n, 10u);
  DWORD high = 0;
  EXPECT_EQ(GetFileSize(h, &high), 10u);
  EXPECT_EQ(high, 0u);
  LONG hi = 0;
  EXPECT_EQ(SetFilePointer(h, 4, &hi, FILE_BEGIN), 4u);
  EXPECT_EQ(SetFilePointer(h, -2, nullptr, FILE_CURRENT), 2u);
  char buf[16] = {};
  ASSERT_TRUE(ReadFile(h, buf, 16, &n, nullptr));
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(std::string(buf, n), "23456789");
  // At the end a synchronous read succeeds with nothing.
  ASSERT_TRUE(ReadFile(h, buf, 16, &n, nullptr));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_TRUE(CloseHandle(h));
}

// A stream opened by a name the ANSI code page cannot hold (Japanese, Greek and a character
// beyond the first plane) is the file the wide calls see.
TEST_F(Files, StreamsOpenByWideNames) {
  Path p = file(u"log-\u65e5\u672c-\u03a9-\U0001F600.txt");
  std::FILE *f = _wfopen(w(p), reinterpret_cast<LPCWSTR>(u"wb"));
  ASSERT_NE(f, nullptr);
  std::fputs("first\n", f);
  std::fclose(f);
  f = _wfopen(w(p), reinterpret_cast<LPCWSTR>(u"ab"));
  ASSERT_NE(f, nullptr);
  std::fputs("second\n", f);
  std::fclose(f);
  HANDLE h = open(p, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buf[32] = {};
  DWORD n = 0;
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(std::string(buf, n), "first\nsecond\n");
  CloseHandle(h);
  EXPECT_EQ(_wfopen(w(dir + u"\\missing\\x.txt"), reinterpret_cast<LPCWSTR>(u"wb")), nullptr);
}

TEST_F(Files, ErrorCodesForMissingFilesAndFolders) {
  EXPECT_EQ(open(dir + u"\\missing.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(open(dir + u"\\nodir\\missing.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(w(dir + u"\\missing.txt")), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CreateDirectoryW(w(dir), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(DeleteFileW(w(dir + u"\\missing.txt")));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  Path sub = dir + u"\\sub";
  dirs.push_back(sub);
  ASSERT_TRUE(CreateDirectoryW(w(sub), nullptr));
  EXPECT_EQ(GetFileAttributesW(w(sub)) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
  Path inner = file(u"sub\\x.txt");
  HANDLE h = open(inner, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_FALSE(RemoveDirectoryW(w(sub)));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
}

TEST_F(Files, ShareModesRefuseConflictingOpensAndDeletion) {
  Path p = file(u"locked.txt");
  HANDLE exclusive = open(p, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_EQ(open(p, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(DeleteFileW(w(p)));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(exclusive);

  HANDLE reader = open(p, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  HANDLE second = open(p, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  EXPECT_NE(second, INVALID_HANDLE_VALUE);
  // A writer that shares nothing cannot join readers.
  EXPECT_EQ(open(p, GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(second);
  CloseHandle(reader);
}

TEST_F(Files, ReadOnlyFilesRefuseWritesAndDeletionUntilCleared) {
  Path p = file(u"ro.txt");
  HANDLE h = open(p, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  ASSERT_TRUE(SetFileAttributesW(w(p), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesW(w(p)) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(open(p, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteFileW(w(p)));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  HANDLE reader = open(p, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  ASSERT_TRUE(SetFileAttributesW(w(p), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW(w(p)) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(DeleteFileW(w(p)));
}

// Each way of opening for writing reports whether the name was there, and replaces or keeps what
// it held, as Windows does.
TEST_F(Files, DispositionsReportAndReplaceWhatWasThere) {
  Path p = file(u"disposition.txt");
  DWORD n = 0;
  HANDLE h = open(p, GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  ASSERT_TRUE(WriteFile(h, "first", 5, &n, nullptr));
  CloseHandle(h);
  DWORD bits = GetFileAttributesW(w(p));
  EXPECT_EQ(bits & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), FILE_ATTRIBUTE_ARCHIVE);

  EXPECT_EQ(open(p, GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

  h = open(p, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(GetFileSize(h, nullptr), 5u);
  CloseHandle(h);

  h = open(p, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(GetFileSize(h, nullptr), 0u);
  CloseHandle(h);

  Path fresh = file(u"opened-always.txt");
  h = open(fresh, GENERIC_WRITE, 0, OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  CloseHandle(h);

  // A directory is never opened or replaced as a file.
  Path sub = dir + u"\\taken";
  dirs.push_back(sub);
  ASSERT_TRUE(CreateDirectoryW(w(sub), nullptr));
  EXPECT_EQ(open(sub, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(Files, HiddenAttributeIsKeptAndReported) {
  Path p = file(u"hidden.txt");
  HANDLE h = open(p, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW(w(p)) & FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(SetFileAttributesW(w(p), FILE_ATTRIBUTE_ARCHIVE));
  DWORD bits = GetFileAttributesW(w(p));
  EXPECT_EQ(bits & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), 0u);
  EXPECT_EQ(bits & FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(Files, LongPathsWorkThroughTheLongForm) {
  char16_t full[2048];
  ASSERT_GT(GetFullPathNameW(w(dir), 2048, reinterpret_cast<LPWSTR>(full), nullptr), 0u);
  Path base(full);
  Path longForm = base[0] == u'/' ? base : u"\\\\?\\" + base;
  Path current = longForm;
  for (int level = 0; level < 3; ++level) {
    current += u"\\" + Path(100, char16_t(u'a' + level));
    dirs.push_back(current);
    ASSERT_TRUE(CreateDirectoryW(w(current), nullptr)) << GetLastError();
  }
  Path p = current + u"\\file.txt";
  ASSERT_GT(p.size(), 300u);
  created.push_back(p);
  HANDLE h = open(p, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(h, "x", 1, &n, nullptr));
  CloseHandle(h);
  EXPECT_NE(GetFileAttributesW(w(p)), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Files, FullPathAndFilePart) {
  char16_t cwd[2048];
  ASSERT_GT(GetCurrentDirectoryW(2048, reinterpret_cast<LPWSTR>(cwd)), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(w(dir)));
  char16_t full[2048];
  LPWSTR part = nullptr;
  DWORD n = GetFullPathNameW(w(u"sub\\..\\name.txt"), 2048, reinterpret_cast<LPWSTR>(full), &part);
  ASSERT_GT(n, 0u);
  Path result(full, n);
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(Path(reinterpret_cast<const char16_t *>(part)), u"name.txt");
  EXPECT_GT(result.size(), 9u);
  EXPECT_EQ(result.find(u".."), Path::npos);
  // Too small a buffer reports the size needed, terminator included.
  EXPECT_EQ(GetFullPathNameW(w(u"name.txt"), 3, reinterpret_cast<LPWSTR>(full), nullptr), n + 1);
  ASSERT_TRUE(SetCurrentDirectoryW(reinterpret_cast<LPCWSTR>(cwd)));
}

TEST_F(Files, UncPathIsAlreadyFull) {
  char16_t full[2048];
  LPWSTR part = nullptr;
  DWORD n = GetFullPathNameW(w(u"\\\\server\\share\\x\\..\\f.txt"), 2048, reinterpret_cast<LPWSTR>(full), &part);
  ASSERT_GT(n, 0u);
  Path result(full, n);
  for (char16_t &c : result) {
    if (c == u'/') c = u'\\';
  }
  EXPECT_EQ(result, u"\\\\server\\share\\f.txt");
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(Path(reinterpret_cast<const char16_t *>(part)), u"f.txt");
}

TEST_F(Files, FileTimesRoundTrip) {
  Path p = file(u"times.txt");
  HANDLE h = open(p, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  // 2020-01-02 03:04:05 UTC.
  uint64_t ticks = (1577934245ULL + 11644473600ULL) * 10000000ULL;
  FILETIME ft{DWORD(ticks), DWORD(ticks >> 32)};
  ASSERT_TRUE(SetFileTime(h, &ft, &ft, &ft));
  FILETIME back{};
  ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &back));
  EXPECT_EQ(back.dwLowDateTime, ft.dwLowDateTime);
  EXPECT_EQ(back.dwHighDateTime, ft.dwHighDateTime);
  CloseHandle(h);
  HANDLE d = CreateFileW(w(dir), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(d, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(SetFileTime(d, &ft, &ft, &ft));
  CloseHandle(d);
}

TEST_F(Files, AttributesTimesAndSizeByNameAgreeWithTheHandleCalls) {
  Path p = file(u"byname.txt");
  HANDLE h = open(p, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_ALWAYS,
                  FILE_ATTRIBUTE_HIDDEN);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(h, "twelve bytes", 12, &written, nullptr));
  uint64_t ticks = (1577934245ULL + 11644473600ULL) * 10000000ULL;
  FILETIME ft{DWORD(ticks), DWORD(ticks >> 32)};
  ASSERT_TRUE(SetFileTime(h, &ft, &ft, &ft));
  CloseHandle(h);

  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(w(p), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.dwFileAttributes, GetFileAttributesW(w(p)));
  EXPECT_EQ(data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(SetFileAttributesW(w(p), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(GetFileAttributesExW(w(p), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.dwFileAttributes, GetFileAttributesW(w(p)));
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, ft.dwLowDateTime);
  EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, ft.dwHighDateTime);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.nFileSizeLow, 12u);

  Path sub = dir + u"\\folder";
  ASSERT_TRUE(CreateDirectoryW(w(sub), nullptr));
  dirs.push_back(sub);
  ASSERT_TRUE(GetFileAttributesExW(w(sub), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.dwFileAttributes, GetFileAttributesW(w(sub)));
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);

  EXPECT_FALSE(GetFileAttributesExW(w(dir + u"\\missing.txt"), GetFileExInfoStandard, &data));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(GetFileAttributesExW(w(dir + u"\\nowhere\\missing.txt"), GetFileExInfoStandard, &data));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

TEST(Platform, ExecutableAndTempPathsAreAbsolute) {
  char16_t buf[1024];
  DWORD n = GetModuleFileNameW(nullptr, reinterpret_cast<LPWSTR>(buf), 1024);
  ASSERT_GT(n, 0u);
  Path exe(buf, n);
  EXPECT_NE(exe.find(u"platform_tests"), Path::npos);
  Path tmp = tempRoot();
  ASSERT_FALSE(tmp.empty());
  EXPECT_TRUE(tmp.back() == u'\\' || tmp.back() == u'/');
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_NE(info.dwMajorVersion, 4u);
}

TEST(Platform, LocalFileTimeDiffersFromUtcByAWholeNumberOfQuarterHours) {
  uint64_t ticks = (1577934245ULL + 11644473600ULL) * 10000000ULL;
  FILETIME utc{DWORD(ticks), DWORD(ticks >> 32)}, local{};
  ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
  int64_t diff = int64_t((uint64_t(local.dwHighDateTime) << 32 | local.dwLowDateTime) - ticks);
  EXPECT_EQ(diff % (900LL * 10000000LL), 0);
  EXPECT_LE(diff < 0 ? -diff : diff, 14LL * 3600 * 10000000LL);
}

#ifndef _WIN32
#include <sys/stat.h>

// Access lists are not kept here: security attributes of any kind make the folder its owner's
// alone, the nearest a mode comes to the one descriptor the program passes.
TEST_F(Files, SecurityAttributesMakeADirectoryTheOwnersAlone) {
  Path open = dir + u"\\open", closed = dir + u"\\closed";
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  ASSERT_TRUE(CreateDirectoryW(w(open), nullptr));
  ASSERT_TRUE(CreateDirectoryW(w(closed), &attributes));
  dirs.push_back(open);
  dirs.push_back(closed);
  struct stat st {};
  std::string base;
  for (char16_t c : dir) base += c == u'\\' ? '/' : char(c);
  ASSERT_EQ(stat((base + "/closed").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat((base + "/open").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & 0077, 0u) << "only the umask may take rights from a plain folder";
  EXPECT_FALSE(CreateDirectoryW(w(closed), &attributes));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
}
#endif
