// Taking a run back: read-only files, files held by another program, folders that still hold
// the person's files, and what is reported.
#include "base/UndoList.h"

#include <string>
#include <vector>

#include "base/StringBuffer.h"
#include "unit/base/FileTestDir.h"

namespace {
struct Report : UndoReport {
  std::vector<std::string> steps, failures;
  void step(const char *action, const char *p) override { steps.push_back(std::string(action) + " " + p); }
  void failed(const char *action, const char *p, DWORD error) override {
    failures.push_back(std::string(action) + " " + p + " " + std::to_string(error));
  }
};

void recordDir(UndoList &list, const std::string &p) {
  StringBuffer *item = new StringBuffer(p.c_str());
  item->appendChar('D');
  list.createdDirs()->append(item);
}
}  // namespace

class UndoListTest : public FileTestDir {};

TEST_F(UndoListTest, ReadOnlyFilesGoAndAFolderWithThePersonsFilesStaysWithoutComplaint) {
  const std::string made = path("made"), ro = path("made\\ro.txt"), mine = path("mine"), kept = path("mine\\kept.txt");
  ASSERT_TRUE(CreateDirectoryA(made.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(mine.c_str(), nullptr));
  ASSERT_TRUE(writeFile(ro, "x"));
  writeFile(kept, "k");
  ASSERT_TRUE(SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY));
  UndoList list;
  recordDir(list, mine);
  recordDir(list, made);
  ASSERT_TRUE(list.addCreatedFile(ro.c_str()));
  Report report;
  EXPECT_TRUE(list.rollBack(0, report)) << ::testing::PrintToString(report.failures);
  EXPECT_FALSE(exists(ro));
  EXPECT_FALSE(exists(made));
  EXPECT_TRUE(exists(kept));
  EXPECT_TRUE(report.failures.empty());
  std::string shownMine = mine;
  for (char &c : shownMine) c = c == '\\' ? '/' : c;
  EXPECT_EQ(report.steps.back(), "failedToDelete " + shownMine);
}

TEST_F(UndoListTest, AHeldFileIsReportedAndAReplacedFileHeldOpenKeepsItsBackup) {
  const std::string file = path("held.txt"), replaced = path("r.txt"), backup = path("r.txt.sfxold");
  writeFile(file, "h");
  writeFile(replaced, "new");
  writeFile(backup, "old");
  HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE heldNew = CreateFileA(replaced.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  UndoList list;
  ASSERT_TRUE(list.addCreatedFile(file.c_str()));
  ASSERT_TRUE(list.addReplacedFile(replaced.c_str(), backup.c_str()));
  Report report;
  EXPECT_FALSE(list.rollBack(0, report));
  CloseHandle(held);
  CloseHandle(heldNew);
  EXPECT_EQ(report.failures,
            (std::vector<std::string>{"failedToDelete " + replaced + " 32", "failedToRestore " + backup + " 183",
                                      "failedToDelete " + file + " 32"}));
  EXPECT_EQ(readFile(backup), "old");
  EXPECT_EQ(list.count(), 0);
}

TEST_F(UndoListTest, KeepingDeletesOnlyTheBackups) {
  const std::string created = path("c.txt"), replaced = path("r.txt"), backup = path("r.txt.sfxold");
  writeFile(created, "c");
  writeFile(replaced, "new");
  writeFile(backup, "old");
  ASSERT_TRUE(SetFileAttributesA(backup.c_str(), FILE_ATTRIBUTE_READONLY));
  UndoList list;
  ASSERT_TRUE(list.addCreatedFile(created.c_str()));
  ASSERT_TRUE(list.addReplacedFile(replaced.c_str(), backup.c_str()));
  Report report;
  EXPECT_TRUE(list.keep(report));
  EXPECT_EQ(readFile(created), "c");
  EXPECT_EQ(readFile(replaced), "new");
  EXPECT_FALSE(exists(backup));
  EXPECT_EQ(list.count(), 0);
}
