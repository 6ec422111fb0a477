#include "base/QuorvelHandle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/compress/RecordingLog.h"
#include "FileTestDir.h"
#include "base/TimeValue.h"

namespace {
class Handle : public FileTestDir {
 protected:
  HANDLE open(const std::string &p, DWORD access, DWORD disposition) {
    return CreateFileA(p.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }
};

std::string pattern(size_t n) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; ++i) s[i] = char(i * 7 + i / 251);
  return s;
}
}  // namespace

TEST_F(Handle, ShortReadAtEndOfFileSucceedsWithEndFlag) {
  std::string p = path("70k.bin");
  std::string content = pattern(70000);
  ASSERT_TRUE(writeFile(p, content));
  QuorvelHandle h(open(p, GENERIC_READ, OPEN_EXISTING));
  ASSERT_TRUE(h.isOpen());
  std::vector<char> buf(100000);
  uint64_t got = 0;
  bool eof = false;
  RecordingLog log;
  EXPECT_TRUE(h.readBytes(buf.data(), buf.size(), got, eof, log));
  EXPECT_EQ(got, 70000u);
  EXPECT_TRUE(eof);
  EXPECT_EQ(std::string(buf.data(), got), content);
  // Nothing is left: a further read is an empty success at the end.
  EXPECT_TRUE(h.readBytes(buf.data(), 10, got, eof, log));
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(eof);
  // An exact read of what is there does not report the end.
  ASSERT_TRUE(h.seekAbsolute(69990, log));
  EXPECT_TRUE(h.readBytes(buf.data(), 10, got, eof, log));
  EXPECT_EQ(got, 10u);
  EXPECT_FALSE(eof);
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(Handle, RefusesMissingBufferAndEmptyHandle) {
  RecordingLog log;
  QuorvelHandle empty;
  char buf[4];
  uint32_t got = 7;
  bool eof = true;
  EXPECT_FALSE(empty.readChunk(buf, 0, got, eof, log));
  EXPECT_EQ(got, 0u);
  EXPECT_FALSE(eof);
  EXPECT_FALSE(empty.readChunk(buf, 4, got, eof, log));
  uint64_t got64 = 0;
  EXPECT_FALSE(empty.readBytes(nullptr, 4, got64, eof, log));
  EXPECT_EQ(log.entries, (std::vector<std::string>{"error:NULL buf or bufSize", "error:No file is open.",
                                                   "error:NULL buf pointer."}));
  log.entries.clear();
  // Position, size and seeks of an empty handle fail silently; writing says why.
  EXPECT_EQ(empty.getPosition(log), -1);
  EXPECT_EQ(empty.getFileSize64(log), -1);
  EXPECT_FALSE(empty.seekAbsolute(0, log));
  EXPECT_FALSE(empty.seekRelative(0, log));
  EXPECT_FALSE(empty.seekToEnd(log));
  EXPECT_TRUE(log.entries.empty());
  EXPECT_FALSE(empty.writeBytes("x", 1, nullptr, log));
  EXPECT_FALSE(empty.setFileTimes(TimeValue(), log));
  EXPECT_EQ(log.entries, (std::vector<std::string>{"error:Failed to write because file is not open.",
                                                   "error:Cannot set file time because file is not open."}));
}

TEST_F(Handle, LargeWriteIsCountedAndComplete) {
  std::string p = path("big.bin");
  QuorvelHandle h(open(p, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS));
  ASSERT_TRUE(h.isOpen());
  std::vector<uint8_t> data(25000000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i % 253);
  RecordingLog log;
  uint64_t written = 1;
  EXPECT_TRUE(h.writeBytes(data.data(), 0, &written, log));
  EXPECT_EQ(written, 0u);
  ASSERT_TRUE(h.writeBytes(data.data(), data.size(), &written, log));
  EXPECT_EQ(written, 25000000u);
  EXPECT_EQ(h.getFileSize64(log), 25000000);
  EXPECT_EQ(h.getPosition(log), 25000000);
  // The pieces met in the file: the bytes at both 10,000,000 boundaries are in place.
  for (int64_t at : {9999999, 10000000, 20000000, 24999999}) {
    ASSERT_TRUE(h.seekAbsolute(at, log));
    uint8_t b = 0;
    uint32_t got = 0;
    bool eof = false;
    ASSERT_TRUE(h.readChunk(&b, 1, got, eof, log));
    EXPECT_EQ(b, uint8_t(at % 253));
  }
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(Handle, SeeksAndWriteFailureMessages) {
  std::string p = path("seek.bin");
  ASSERT_TRUE(writeFile(p, "0123456789"));
  QuorvelHandle h(open(p, GENERIC_READ, OPEN_EXISTING));
  RecordingLog log;
  EXPECT_TRUE(h.seekAbsolute(8, log));
  EXPECT_TRUE(h.seekRelative(-5, log));
  EXPECT_EQ(h.getPosition(log), 3);
  EXPECT_TRUE(h.seekToEnd(log));
  EXPECT_EQ(h.getPosition(log), 10);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_FALSE(h.seekRelative(-11, log));
  ASSERT_EQ(log.entries.size(), 3u);
  EXPECT_EQ(log.entries[0], "error:Failed to SetFilePointer to relative file position");
  EXPECT_EQ(log.entries[1].rfind("WindowsError=", 0), 0u);
  EXPECT_EQ(log.entries[2], "position=-11");
  EXPECT_EQ(h.getPosition(log), 10);
  // A handle opened for reading only refuses writes with Windows' reason.
  log.entries.clear();
  uint64_t written = 5;
  EXPECT_FALSE(h.writeBytes("abc", 3, &written, log));
  EXPECT_EQ(written, 0u);
  ASSERT_EQ(log.entries.size(), 2u);
  EXPECT_EQ(log.entries[1], "WindowsErrorCode=0x5");
}

TEST_F(Handle, TakeOverClosesTheFileHeldBefore) {
  std::string a = path("a.txt"), b = path("b.txt");
  ASSERT_TRUE(writeFile(a, "a"));
  ASSERT_TRUE(writeFile(b, "b"));
  // Unshared opens: a second open of the same file fails while one is held.
  auto exclusive = [](const std::string &p) {
    return CreateFileA(p.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  QuorvelHandle first(exclusive(a));
  QuorvelHandle second(exclusive(b));
  ASSERT_TRUE(first.isOpen() && second.isOpen());
  first.takeOver(second);
  EXPECT_FALSE(second.isOpen());
  HANDLE again = exclusive(a);
  EXPECT_NE(again, INVALID_HANDLE_VALUE) << "the first file is still open";
  CloseHandle(again);
  EXPECT_EQ(exclusive(b), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  first.closeFile();
  first.closeFile();
  EXPECT_FALSE(first.isOpen());
}
