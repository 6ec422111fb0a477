// Files closed on the closing thread: every one is closed, with its contents, when finish()
// returns, more of them than may wait at once included; a close that fails names its file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/BackgroundCloser.h"
#include "base/QuorvelHandle.h"
#include "unit/base/FileTestDir.h"
#include "unit/compress/RecordingLog.h"

namespace {
class BackgroundCloserFiles : public FileTestDir {};

std::string contentsOf(int i) { return "file " + std::to_string(i) + std::string(size_t(i) * 31, 'x'); }
}  // namespace

TEST_F(BackgroundCloserFiles, EveryFileHandedOverIsClosedWhenFinishReturns) {
  const int count = int(BackgroundCloser::kMaxWaiting) * 2 + 5;
  std::vector<QuorvelHandle> handles(static_cast<size_t>(count));
  std::vector<std::string> names;
  // All opened before any is handed over: the Linux build's file calls are not for two threads.
  for (int i = 0; i < count; ++i) {
    names.push_back(path("f" + std::to_string(i) + ".txt"));
    HANDLE h = CreateFileA(names.back().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    QuorvelHandle handle(h);
    RecordingLog log;
    const std::string text = contentsOf(i);
    ASSERT_TRUE(handle.writeBytes(text.data(), text.size(), nullptr, log));
    handles[size_t(i)].takeOver(handle);
  }
  BackgroundCloser closer;
  ASSERT_TRUE(closer.usable());
  for (int i = 0; i < count; ++i) {
    closer.hand(handles[size_t(i)], names[size_t(i)].c_str());
    EXPECT_FALSE(handles[size_t(i)].isOpen());
  }
  RecordingLog log;
  EXPECT_TRUE(closer.finish(log));
  EXPECT_TRUE(closer.idle());
  EXPECT_TRUE(log.entries.empty());
  for (int i = 0; i < count; ++i) {
    // No sharing at all: this open succeeds only when no handle of ours is left on the file.
    HANDLE h = CreateFileA(names[size_t(i)].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << names[size_t(i)];
    char buffer[8192] = {};
    DWORD got = 0;
    ReadFile(h, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(h);
    EXPECT_EQ(std::string(buffer, got), contentsOf(i));
  }
}

TEST(BackgroundCloser, AFailedCloseIsReportedWithItsFileOnceAndTheOthersStillClose) {
  BackgroundCloser closer;
  ASSERT_TRUE(closer.usable());
  // A handle value that names nothing: its close fails.
  QuorvelHandle bogus(reinterpret_cast<HANDLE>(uintptr_t(0x7ff0)));
  closer.hand(bogus, "dir\\lost.txt");
  RecordingLog log;
  EXPECT_FALSE(closer.finish(log));
  EXPECT_TRUE(log.has("error:Failed to close file."));
  EXPECT_TRUE(log.has("filename=dir\\lost.txt"));
  // Reported once: the next finish starts clean.
  RecordingLog again;
  EXPECT_TRUE(closer.finish(again));
  EXPECT_TRUE(again.entries.empty());
}
