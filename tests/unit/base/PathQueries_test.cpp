#include "base/PathQueries.h"

#include <gtest/gtest.h>

#include <string>

#include "FileTestDir.h"

namespace {
std::string text(void (*query)(XString &)) {
  XString out;
  out.setUtf8("stale");
  query(out);
  return out.getUtf8();
}

std::string fileNamePart(const char *path) {
  XString in, out;
  in.setUtf8(path);
  out.setUtf8("stale");
  getFileNamePart(in, out);
  return out.getUtf8();
}

bool endsWith(const std::string &s, const std::string &tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

using PathQueries = FileTestDir;
}  // namespace

TEST_F(PathQueries, CurrentTempAndExecutablePaths) {
  std::string temp = text(getTempDir);
  char buf[2048];
  EXPECT_EQ(temp, std::string(buf, GetTempPathA(sizeof buf, buf)));
  EXPECT_TRUE(endsWith(temp, "\\") || endsWith(temp, "/"));
  std::string exe = text(getExePath);
  EXPECT_TRUE(endsWith(exe, "base_tests") || endsWith(exe, "base_tests.exe")) << exe;

  std::string before = text(getCurrentDir);
  XString dir;
  dir.setUtf8(root.c_str());
  ASSERT_TRUE(setCurrentDir(dir));
  XString full;
  getFullPath(dir, full);
  EXPECT_EQ(text(getCurrentDir), std::string(full.getUtf8()));
  XString relative, expanded;
  relative.setUtf8("sub/f.txt");
  getFullPath(relative, expanded);
  // Windows answers with backslashes, the POSIX emulation with "/".
  std::string sep = std::string(full.getUtf8()).find('/') != std::string::npos ? "/" : "\\";
  EXPECT_EQ(std::string(expanded.getUtf8()), std::string(full.getUtf8()) + sep + "sub" + sep + "f.txt");
  dir.setUtf8(before.c_str());
  ASSERT_TRUE(setCurrentDir(dir));
  XString missing;
  missing.setUtf8((root + "\\missing").c_str());
  EXPECT_FALSE(setCurrentDir(missing));
}

TEST_F(PathQueries, FileNamePartOfFullPath) {
  EXPECT_EQ(fileNamePart("C:\\x\\y.txt"), "y.txt");
  EXPECT_EQ(fileNamePart("C:/x/sub/../y.txt"), "y.txt");
  EXPECT_EQ(fileNamePart("plain"), "plain");
  EXPECT_EQ(fileNamePart("C:\\dir\\"), "");
  // Windows makes "\\.\con" of a device name and gives no file part; the text still has one.
  EXPECT_EQ(fileNamePart("C:\\d\\con.txt"), "con.txt");
  XString empty, out;
  getFullPath(empty, out);
  EXPECT_TRUE(out.isEmpty());
}
