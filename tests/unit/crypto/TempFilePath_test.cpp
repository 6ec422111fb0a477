#include "crypto/TempFilePath.h"

#include <gtest/gtest.h>

#include <string>

#include "base/StringBuffer.h"
#include "platform/win32.h"

namespace {
std::string tempDir() {
  char buf[2048];
  DWORD n = GetTempPathA(sizeof buf, buf);
  // The name is joined to the directory with backslashes.
  std::string dir(buf, n);
  for (char &c : dir) {
    if (c == '/') c = '\\';
  }
  return dir;
}

// The name after the temporary directory, checked for stem, "_", four characters and extension.
void expectShape(const std::string &path, const std::string &stem, const std::string &ext) {
  std::string dir = tempDir();
  ASSERT_EQ(path.compare(0, dir.size(), dir), 0) << path;
  std::string name = path.substr(dir.size());
  ASSERT_EQ(name.size(), stem.size() + 5 + ext.size()) << name;
  EXPECT_EQ(name.substr(0, stem.size() + 1), stem + "_");
  for (size_t i = stem.size() + 1; i < stem.size() + 5; ++i) {
    EXPECT_TRUE((name[i] >= 'A' && name[i] <= 'Z') || (name[i] >= '0' && name[i] <= '9')) << name;
  }
  EXPECT_EQ(name.substr(stem.size() + 5), ext);
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
}
}  // namespace

TEST(TempFilePath, NamesOfTheRightShapeThatDoNotExistYet) {
  StringBuffer out;
  ASSERT_TRUE(makeTempFilePath("", out));
  expectShape(out.getText(), "x", ".tmp");
  StringBuffer second("kept:");
  ASSERT_TRUE(makeTempFilePath("a.b.c", second));
  ASSERT_TRUE(second.beginsWith("kept:"));
  expectShape(second.getText() + 5, "a.b", ".c");
  out.clear();
  ASSERT_TRUE(makeTempFilePath("qvz", out));
  expectShape(out.getText(), "qvz", ".tmp");
  out.clear();
  ASSERT_TRUE(makeTempFilePath(nullptr, out));
  expectShape(out.getText(), "x", ".tmp");
}

TEST(TempFilePath, AnExistingNameIsNeverGiven) {
  // A name once given and then created is never given again.
  StringBuffer first;
  ASSERT_TRUE(makeTempFilePath("sfxtemptest", first));
  HANDLE h = CreateFileA(first.getText(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  for (int i = 0; i < 50; ++i) {
    StringBuffer next;
    ASSERT_TRUE(makeTempFilePath("sfxtemptest", next));
    EXPECT_FALSE(next.equalsBuffer(first));
    EXPECT_EQ(GetFileAttributesA(next.getText()), INVALID_FILE_ATTRIBUTES);
  }
  DeleteFileA(first.getText());
}
