#include "base/Directories.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FileTestDir.h"
#include "base/ExtPtrArray.h"
#include "base/FileAttributes.h"
#include "base/FileDelete.h"
#include "base/StringBuffer.h"
#include "base/WriteEntireFile.h"
#include "unit/compress/RecordingLog.h"

namespace {
class Directories : public FileTestDir {
 protected:
  void TearDown() override {
    list.deleteAll();
    FileTestDir::TearDown();
  }

  std::vector<std::string> items() const {
    std::vector<std::string> out;
    for (int i = 0; i < list.getCount(); ++i) out.push_back(static_cast<StringBuffer *>(list.get(i))->getText());
    return out;
  }

  static XString &x(const std::string &utf8) {
    static XString text;
    text.setUtf8(utf8.c_str());
    return text;
  }

  ExtPtrArray list;
};
}  // namespace

TEST_F(Directories, EnsureDirExistsRecordsEachCreatedLevelTopFirst) {
  RecordingLog log;
  std::string a = path("a"), b = path("a\\b"), c = path("a\\b\\c");
  ASSERT_TRUE(ensureDirExists((root + "/a/b/c").c_str(), &list, log));
  EXPECT_EQ(items(), (std::vector<std::string>{a + "D", b + "D", c + "D"}));
  EXPECT_TRUE(exists(c));
  // Everything is there now: nothing more is created or recorded.
  ASSERT_TRUE(ensureDirExists((" " + c + "\r\n").c_str(), &list, log));
  EXPECT_EQ(list.getCount(), 3);
  // One missing level below an existing one is made at once.
  std::string d = path("a\\b\\c\\d");
  ASSERT_TRUE(ensureDirExists(d.c_str(), &list, log));
  EXPECT_EQ(items().back(), d + "D");
  EXPECT_TRUE(ensureDirExists("  ", &list, log));
  EXPECT_TRUE(ensureDirExists((d + "\\").c_str(), nullptr, log));
  EXPECT_EQ(list.getCount(), 4);
}

TEST_F(Directories, EnsureDirExistsNamesThePathItCouldNotMake) {
  std::string file = path("plain.txt");
  ASSERT_TRUE(writeFile(file, "not a directory"));
  RecordingLog log;
  std::string below = file + "\\sub";
  EXPECT_FALSE(ensureDirExists(below.c_str(), &list, log));
  EXPECT_TRUE(log.has("error:Cannot ensure directory existence"));
  EXPECT_EQ(log.entries.back(), "path=" + below);
  EXPECT_EQ(list.getCount(), 0);
}

TEST_F(Directories, EnsureParentDirCreatesTheDirectoryPart) {
  RecordingLog log;
  StringBuffer dirPart;
  std::string x1 = path("x"), y = path("x\\y");
  ASSERT_TRUE(ensureParentDir((root + "/x/y/f.txt").c_str(), dirPart, &list, log));
  EXPECT_EQ(std::string(dirPart.getText()), y);
  EXPECT_EQ(items(), (std::vector<std::string>{x1 + "D", y + "D"}));
  EXPECT_TRUE(ensureParentDir(" f.txt ", dirPart, &list, log));
  EXPECT_EQ(std::string(dirPart.getText()), "f.txt");
  EXPECT_TRUE(ensureParentDir("/f.txt", dirPart, &list, log));
  EXPECT_EQ(list.getCount(), 2);
  EXPECT_FALSE(ensureParentDir(nullptr, dirPart, &list, log));
  EXPECT_EQ(log.entries.back(), "error:No filePath");
}

TEST_F(Directories, CreateDirIfMissingAndRemoveDirectory) {
  RecordingLog log;
  bool created = true;
  EXPECT_TRUE(createDirIfMissing(".", created, log));
  EXPECT_FALSE(created);
  EXPECT_TRUE(createDirIfMissing(nullptr, created, log));
  std::string d = path("made");
  EXPECT_TRUE(createDirIfMissing(d.c_str(), created, log));
  EXPECT_TRUE(created);
  EXPECT_TRUE(createDirIfMissing(d.c_str(), created, log));
  EXPECT_FALSE(created);
  EXPECT_FALSE(createDirectory(x(d), log));
  EXPECT_EQ(log.entries.back().rfind("errorMsg=", 0), 0u);

  std::string inner = path("made\\inner");
  ASSERT_TRUE(createDirectory(x(inner), log));
  log.entries.clear();
  EXPECT_FALSE(removeDirectory(x(d), log));
  ASSERT_EQ(log.entries.size(), 2u);
  EXPECT_EQ(log.entries[1], "WindowsErrorCode=0x91");
  std::string forward = inner;
  for (char &c : forward) {
    if (c == '\\') c = '/';
  }
  EXPECT_TRUE(removeDirectory(x(forward), log));
  EXPECT_TRUE(removeDirectory(x(d), log));
  EXPECT_FALSE(exists(d));
}

TEST_F(Directories, DeleteFileCountsAMissingFileAsDeleted) {
  RecordingLog log;
  EXPECT_TRUE(deleteFile((root + "\\never-was.txt").c_str(), log));
  EXPECT_TRUE(log.entries.empty());
  std::string p = path("gone.txt");
  ASSERT_TRUE(writeFile(p, "x"));
  EXPECT_TRUE(deleteFile(x(p), log));
  EXPECT_FALSE(exists(p));
  // A read-only file stays, and the log says which.
  ASSERT_TRUE(writeFile(p, "x"));
  ASSERT_TRUE(setAttributes(x(p), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(deleteFile(x(p), log));
  EXPECT_TRUE(exists(p));
  ASSERT_EQ(log.entries.size(), 2u);
  EXPECT_EQ(log.entries[0].rfind("WindowsError=", 0), 0u);
  EXPECT_EQ(log.entries[1], "failedToDeleteFilepath=" + p);
}

TEST_F(Directories, WriteEntireFileReplacesContent) {
  RecordingLog log;
  std::string p = path("whole.txt");
  ASSERT_TRUE(writeFile(p, "a much longer old content"));
  ASSERT_TRUE(writeEntireFile(p.c_str(), "new", 3, log));
  EXPECT_EQ(readFile(p), "new");
  ASSERT_TRUE(writeEntireFile(x(p), nullptr, 0, log));
  EXPECT_TRUE(exists(p));
  EXPECT_EQ(readFile(p), "");
  EXPECT_FALSE(writeEntireFile("", "x", 1, log));
  log.entries.clear();
  std::string nowhere = root + "\\nodir\\f.txt";
  EXPECT_FALSE(writeEntireFile(nowhere.c_str(), "x", 1, log));
  ASSERT_GE(log.entries.size(), 2u);
  EXPECT_EQ(log.entries[log.entries.size() - 2], "filename=" + nowhere);
  EXPECT_EQ(log.entries.back(), "error:Failed to write complete file (7)");
}
