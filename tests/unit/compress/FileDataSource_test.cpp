#include "compress/FileDataSource.h"

#include <gtest/gtest.h>

#include <string>

#include "RecordingLog.h"
#include "base/QuorvelHandle.h"
#include "unit/base/FileTestDir.h"

namespace {
// Bytes that never hold the searched value 0x12345678 anywhere: all below 0x10.
std::string filler(size_t n) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; ++i) s[i] = char(i % 13);
  return s;
}

void putValue(std::string &s, size_t at) {
  s[at] = 0x78;
  s[at + 1] = 0x56;
  s[at + 2] = 0x34;
  s[at + 3] = 0x12;
}

class FileSource : public FileTestDir {
 protected:
  FileDataSource *openWith(const std::string &content) {
    std::string p = path("source.bin");
    EXPECT_TRUE(writeFile(p, content));
    return FileDataSource::openFileSource(p.c_str(), log);
  }
  RecordingLog log;
};
}  // namespace

TEST_F(FileSource, ScanFindsAValueAcrossTheReadBoundary) {
  // The first read takes bytes 0-19,999; a value at 19,998 is split between two reads. The
  // second read starts with the three bytes kept from the first, so the third boundary lies at
  // 39,997.
  for (size_t at : {size_t(0), size_t(19996), size_t(19997), size_t(19998), size_t(19999), size_t(39995),
                    size_t(49996)}) {
    std::string content = filler(50000);
    putValue(content, at);
    FileDataSource *source = openWith(content);
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(source->scanForUint32(0x12345678, log)) << at;
    EXPECT_EQ(source->getPosition(), int64_t(at + 4)) << at;
    uint8_t next[4] = {};
    uint32_t got = 0;
    if (at + 4 < content.size()) {
      ASSERT_TRUE(source->readSource(next, 1, got, nullptr, log));
      EXPECT_EQ(next[0], uint8_t(content[at + 4]));
    }
    delete source;
  }
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(FileSource, ScanWithoutAMatchEndsAtTheEnd) {
  FileDataSource *source = openWith(filler(45000));
  ASSERT_NE(source, nullptr);
  EXPECT_FALSE(source->scanForUint32(0x12345678, log));
  EXPECT_EQ(source->getPosition(), 45000);
  EXPECT_TRUE(source->endOfStream());
  delete source;
  source = openWith("abc");
  ASSERT_NE(source, nullptr);
  EXPECT_FALSE(source->scanForUint32(0x00636261, log));
  delete source;
}

TEST_F(FileSource, BackwardSeekReopensAndLandsWhereAsked) {
  std::string content = filler(300);
  FileDataSource *source = openWith(content);
  ASSERT_NE(source, nullptr);
  ASSERT_TRUE(source->seekAbsolute(100, log));
  ASSERT_TRUE(source->seekRelative(-50, log));
  EXPECT_EQ(source->getPosition(), 50);
  ASSERT_TRUE(source->seekRelative(50, log));
  EXPECT_EQ(source->getPosition(), 100);
  // Read to the end, then go back: the end flag is cleared and reading resumes there.
  uint8_t buf[400];
  uint32_t got = 0;
  bool end = false;
  ASSERT_TRUE(source->readSource(buf, sizeof buf, got, end, nullptr, log));
  EXPECT_EQ(got, 200u);
  EXPECT_TRUE(end);
  EXPECT_TRUE(source->endOfStream());
  ASSERT_TRUE(source->seekRelative(-10, log));
  EXPECT_FALSE(source->endOfStream());
  ASSERT_TRUE(source->readSource(buf, 4, got, end, nullptr, log));
  EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), got), content.substr(290, 4));
  EXPECT_TRUE(source->skipBytes(6, nullptr, log));
  EXPECT_EQ(source->getPosition(), 300);
  EXPECT_FALSE(source->seekRelative(-400, log));
  EXPECT_TRUE(log.has("error:Failed to seek to relative offset in file"));
  EXPECT_EQ(source->totalRead(), 204u);
  delete source;
}

TEST_F(FileSource, ShortReadsAtTheEndOfTheFile) {
  FileDataSource *source = openWith("0123456789");
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->fileSize(), 10);
  uint8_t buf[16];
  uint32_t got = 0;
  bool end = false;
  ASSERT_TRUE(source->readSource(buf, 16, got, end, nullptr, log));
  EXPECT_EQ(got, 10u);
  EXPECT_TRUE(end);
  ASSERT_TRUE(source->readSource(buf, 16, got, end, nullptr, log));
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(end);
  source->rewind();
  EXPECT_FALSE(source->endOfStream());
  ASSERT_TRUE(source->readSource(buf, 4, got, end, nullptr, log));
  EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), got), "0123");
  EXPECT_FALSE(end);
  EXPECT_FALSE(source->readSource(nullptr, 4, got, end, nullptr, log));
  delete source;
}

TEST_F(FileSource, OpenFailureAndSourcesWithoutAHandle) {
  EXPECT_EQ(FileDataSource::openFileSource((root + "\\missing.bin").c_str(), log), nullptr);
  EXPECT_TRUE(log.has("error:Failed to open file (2)"));
  log.entries.clear();
  FileDataSource empty;
  EXPECT_TRUE(empty.endOfStream());
  EXPECT_EQ(empty.getPosition(), -1);
  EXPECT_EQ(empty.fileSize(), -1);
  EXPECT_FALSE(empty.seekAbsolute(0, log));
  EXPECT_FALSE(empty.scanForUint32(1, log));
  EXPECT_FALSE(empty.seekRelative(-1, log));
  EXPECT_FALSE(empty.seekRelative(1, log));
  EXPECT_EQ(log.entries, (std::vector<std::string>{"error:Cannot seek relative on non-owned file handle",
                                                   "error:Cannot fseek relative, file already closed."}));
  // A handle attached without a path: seeking back needs no reopen.
  std::string p = path("attached.bin");
  ASSERT_TRUE(writeFile(p, "abcdef"));
  empty.attachHandle(new QuorvelHandle(
      CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)));
  ASSERT_TRUE(empty.seekAbsolute(4, log));
  ASSERT_TRUE(empty.seekRelative(-3, log));
  EXPECT_EQ(empty.getPosition(), 1);
}
