#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/win32.h"

namespace {
// The child is a Linux path; Wine reaches it through drive Z:.
std::u16string childPath() {
  std::string p = SFX_REPORT_ARGS;
#ifdef _WIN32
  for (char &c : p) c = c == '/' ? '\\' : c;
  p = "Z:" + p;
#endif
  return std::u16string(p.begin(), p.end());
}

LPCWSTR w(const std::u16string &s) { return reinterpret_cast<LPCWSTR>(s.c_str()); }

std::string tempDir() {
  char buf[1024];
  DWORD n = GetTempPathA(sizeof buf, buf);
  return std::string(buf, n);
}
}  // namespace

TEST(Processes, StartWaitAndExitCodeWithWindowsArgumentRules) {
  std::string dir = tempDir() + "sfxproc" + std::to_string(GetTickCount() % 100000);
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
  std::u16string file = childPath(), wdir(dir.begin(), dir.end());
  std::u16string params = u"3 \"two words\" a\\\"b c\\\\d \"e\\\\\"";
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = w(file);
  info.lpParameters = w(params);
  info.lpDirectory = w(wdir);
  info.nShow = SW_SHOW;
  ASSERT_TRUE(ShellExecuteExW(&info)) << GetLastError();
  ASSERT_NE(info.hProcess, nullptr);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 3u);
  EXPECT_TRUE(CloseHandle(info.hProcess));

  std::string argsFile = dir + "/args.txt";
  std::ifstream in(argsFile);
  std::stringstream text;
  text << in.rdbuf();
  std::string leaf = dir.substr(dir.find_last_of("\\/") + 1);
  EXPECT_EQ(text.str(), leaf + "\n3\ntwo words\na\"b\nc\\\\d\ne\\\n");
  in.close();
  DeleteFileA(argsFile.c_str());
  RemoveDirectoryA(dir.c_str());
}

TEST(Processes, MissingProgramFailsToStart) {
  std::string dir = tempDir();
  std::u16string file = u"no-such-program.exe", wdir(dir.begin(), dir.end());
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = w(file);
  info.lpDirectory = w(wdir);
  info.nShow = SW_SHOW;
  EXPECT_FALSE(ShellExecuteExW(&info));
  // Windows may first try to show its own error box; the code then depends on the desktop.
  EXPECT_NE(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(info.hProcess, nullptr);
}

TEST(Processes, SpawnWaitsForTheExitCodeOrReturnsAtOnce) {
  std::string dir = tempDir() + "sfxspawn" + std::to_string(GetTickCount() % 100000);
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
  char saved[1024];
  GetCurrentDirectoryA(sizeof saved, saved);
  ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
  std::u16string wide = childPath();
  std::string child(wide.begin(), wide.end());
  const char *args[] = {child.c_str(), "5", "/c", nullptr};
  EXPECT_EQ(_spawnv(_P_WAIT, child.c_str(), args), 5);
  std::ifstream in("args.txt");
  std::stringstream text;
  text << in.rdbuf();
  in.close();
  std::string leaf = dir.substr(dir.find_last_of("\\/") + 1);
  EXPECT_EQ(text.str(), leaf + "\n5\n/c\n");

  intptr_t process = _spawnv(_P_NOWAIT, child.c_str(), args);
  ASSERT_NE(process, -1);
  EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(process), INFINITE), WAIT_OBJECT_0);
  CloseHandle(reinterpret_cast<HANDLE>(process));

  const char *missing[] = {"no-such-program", nullptr};
  EXPECT_EQ(_spawnv(_P_WAIT, "no-such-program", missing), -1);
  DeleteFileA("args.txt");
  SetCurrentDirectoryA(saved);
  RemoveDirectoryA(dir.c_str());
}

#ifndef _WIN32
// Extracted programs arrive without an execute bit; Windows would start them all the same.
TEST(Processes, AFileWrittenWithoutExecuteBitStillStarts) {
  std::string dir = tempDir() + "sfxnoexec" + std::to_string(GetTickCount() % 100000);
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
  std::string copy = dir + "/child";
  {
    std::ifstream in(SFX_REPORT_ARGS, std::ios::binary);
    std::ofstream out(copy, std::ios::binary);
    out << in.rdbuf();
  }
  std::u16string file(copy.begin(), copy.end()), wdir(dir.begin(), dir.end()), params = u"4";
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = w(file);
  info.lpParameters = w(params);
  info.lpDirectory = w(wdir);
  ASSERT_TRUE(ShellExecuteExW(&info)) << GetLastError();
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 4u);
  CloseHandle(info.hProcess);
  DeleteFileA((dir + "/args.txt").c_str());
  DeleteFileA(copy.c_str());
  RemoveDirectoryA(dir.c_str());
}
#endif
