#include "compress/OutputFile.h"

#include <gtest/gtest.h>

#include <string>

#include "RecordingLog.h"
#include "base/FileOpen.h"
#include "base/TimeValue.h"
#include "unit/base/FileTestDir.h"

namespace {
class OutputFileTest : public FileTestDir {
 protected:
  OutputFile *create(const std::string &p) {
    XString path;
    path.setUtf8(p.c_str());
    QuorvelHandle handle;
    int kind = 0;
    EXPECT_TRUE(openHandleForWrite(handle, path, kind, log));
    OutputFile *out = new OutputFile(path, handle);
    EXPECT_FALSE(handle.isOpen());
    return out;
  }
  RecordingLog log;
};
}  // namespace

TEST_F(OutputFileTest, SeekBackKeepsTheEndForMoveToEnd) {
  std::string p = path("out.bin");
  OutputFile *out = create(p);
  ASSERT_TRUE(out->isOpen());
  EXPECT_TRUE(out->write("0123456789", 10, nullptr, log));
  EXPECT_TRUE(out->seek(2, log));
  EXPECT_TRUE(out->write("abc", 3, nullptr, log));
  EXPECT_EQ(out->position(), 5);
  EXPECT_EQ(out->endOffset(), 10u);
  EXPECT_TRUE(out->moveToEnd(log));
  EXPECT_EQ(out->position(), 10);
  EXPECT_TRUE(out->write("!", 1, nullptr, log));
  EXPECT_TRUE(out->write(nullptr, 0, nullptr, log));
  EXPECT_EQ(out->bytesWritten(), 14u);
  EXPECT_EQ(out->totalWritten(), 14u);
  out->close();
  EXPECT_FALSE(out->isOpen());
  EXPECT_EQ(readFile(p), "01abc56789!");
  EXPECT_FALSE(out->write("x", 1, nullptr, log));
  EXPECT_TRUE(log.has("error:Failed to write because file is not open."));
  delete out;
}

TEST_F(OutputFileTest, ResetStartsTheFileOver) {
  std::string p = path("reset.bin");
  OutputFile *out = create(p);
  EXPECT_TRUE(out->reset(log));
  ASSERT_TRUE(out->write("first try", 9, nullptr, log));
  ASSERT_TRUE(out->reset(log));
  EXPECT_EQ(out->position(), 0);
  EXPECT_EQ(out->bytesWritten(), 0u);
  ASSERT_TRUE(out->write("ok", 2, nullptr, log));
  EXPECT_TRUE(out->moveToEnd(log));
  EXPECT_EQ(out->position(), 2);
  delete out;
  EXPECT_EQ(readFile(p), "ok");
}

TEST_F(OutputFileTest, FileTimeThroughTheHandleOrByPath) {
  std::string p = path("timed.bin");
  OutputFile *out = create(p);
  TimeValue value;
  value.setSeconds(1577880000);
  EXPECT_TRUE(out->setFileTime(value, log));
  out->close();
  EXPECT_TRUE(out->setFileTime(value, log));
  delete out;
  XString empty;
  QuorvelHandle none;
  OutputFile nameless(empty, none);
  EXPECT_FALSE(nameless.setFileTime(value, log));
  EXPECT_TRUE(log.has("error:Cannot set file time because output file path is empty. (1a)"));
}
