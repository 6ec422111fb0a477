#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/AppState.h"
#include "app/ExtractionDriver.h"
#include "app/RunLog.h"
#include "app/SetupRunner.h"
#include "app/SfxConfig.h"
#include "base/UndoList.h"
#include "base/StringBuffer.h"
#include "platform/win32.h"

namespace {

std::string tempDir() {
  char dir[1024];
  DWORD n = GetTempPathA(sizeof dir, dir);
  return std::string(dir, n);
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Through Win32, which takes the backslashes of these paths on both builds.
void writeFile(const std::string &path, const char *text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, text, DWORD(std::strlen(text)), &written, nullptr);
  CloseHandle(file);
}

void record(UndoList &list, const std::string &path, char tag) {
  if (tag == 'F') {
    list.addCreatedFile(path.c_str());
    return;
  }
  StringBuffer *entry = new StringBuffer(path.c_str());
  entry->appendChar(tag);
  list.createdDirs()->append(entry);
}

bool exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Collects what the run log receives while `body` runs.
template <typename F>
std::string logged(F body) {
  std::string log = tempDir() + "sfx_driver_test.log";
  runLogOpen(log.c_str());
  body();
  runLogClose();
  std::string text = readFile(log);
  std::remove(log.c_str());
  return text;
}

}  // namespace

TEST(ExtractionDriver, UndoListIsWorkedFromItsEnd) {
  std::string root = tempDir() + "sfx_undo_" + std::to_string(GetTickCount() % 100000);
  std::string sub = root + "\\sub", file = sub + "\\a.txt", kept = root + "\\kept.txt";
  ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
  writeFile(file, "a");
  writeFile(kept, "k");
  UndoList list;
  record(list, root, 'D');  // still holds kept.txt: cannot go
  record(list, sub, 'D');
  record(list, file, 'F');
  record(list, sub + "\\gone.txt", 'F');  // never written: counts as deleted

  g_config.SetValue("Verbose", "1");
  std::string text = logged([&] { ProcessUndoList(list); });
  g_config.SetValue("Verbose", "0");
  EXPECT_EQ(list.count(), 0);
  EXPECT_FALSE(exists(file));
  EXPECT_FALSE(exists(sub));
  EXPECT_TRUE(exists(kept));
  std::string slashed = root;
  for (char &c : slashed) c = c == '\\' ? '/' : c;
  EXPECT_EQ(text, "processing undo list...\r\n(deleteFile) " + sub + "\\gone.txt\r\n(deleteFile) " + file +
                      "\r\n(deleteDir) " + slashed + "/sub\r\n(deleteDir) " + slashed + "\r\n(failedToDelete) " +
                      slashed + "\r\n");
  DeleteFileA(kept.c_str());
  RemoveDirectoryA(root.c_str());
}

TEST(ExtractionDriver, TemporaryDirectoryNamesAreFreshAndNotCreated) {
  StringBuffer first, second;
  MakeTempDirName(first);
  MakeTempDirName(second);
  std::string name = first.getText(), temp = tempDir();
  for (std::string *s : {&name, &temp}) {
    for (char &c : *s) c = c == '/' ? '\\' : c;
  }
  ASSERT_EQ(name.size(), temp.size() + 20) << name;
  EXPECT_EQ(name.substr(0, temp.size()), temp);
  EXPECT_EQ(name.substr(temp.size(), 4), "qvz_");
  for (char c : name.substr(temp.size() + 4)) EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) << name;
  EXPECT_FALSE(exists(name));
  EXPECT_FALSE(first.equalsBuffer(second));
}

TEST(SetupRunner, CleanupOnlyWhenTheRunOutlivesTheSetupProgram) {
  g_config.SetValue("Cleanup", "1");
  g_config.SetValue("WaitForSetup", "1");
  g_config.SetValue("AutoExit", "0");
  std::string text = logged([] { EXPECT_TRUE(decideCleanup()); });
  EXPECT_EQ(text, "cleanup is requested...\r\n");

  g_config.SetValue("WaitForSetup", "0");
  g_config.SetValue("AutoExit", "2");
  text = logged([] { EXPECT_FALSE(decideCleanup()); });
  EXPECT_EQ(text, "cleanup is requested...\r\nWaitForSetup if false, therefore cannot cleanup files.\r\n"
                  "AutoExit if true, therefore cannot cleanup files.\r\n");

  // The reasons are given even when nobody asked for cleanup.
  g_config.SetValue("Cleanup", "0");
  g_config.SetValue("AutoExit", "0");
  text = logged([] { EXPECT_FALSE(decideCleanup()); });
  EXPECT_EQ(text, "WaitForSetup if false, therefore cannot cleanup files.\r\n");
  g_config.SetValue("WaitForSetup", "1");
}

// The same command line means the same in cmd.exe (ComSpec, Windows) and /bin/sh (Linux).
TEST(SetupRunner, ShellCommandRunsAndIsWaitedFor) {
  std::string marker = tempDir() + "sfx_shell_marker.txt";
  std::remove(marker.c_str());
  EXPECT_TRUE(RunShellCommand(true, ("echo shellran> " + marker).c_str()));
  std::string text = readFile(marker);
  EXPECT_EQ(text.substr(0, 8), "shellran");
  std::remove(marker.c_str());
}
