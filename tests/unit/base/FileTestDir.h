#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/win32.h"

// A fresh directory under the temporary directory for each test. Every path handed out by
// path() is removed again afterwards (newest first, as a file and as a directory), whatever the
// test left there, so tests of the file layer can run side by side and under Wine.
class FileTestDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[2048];
    DWORD n = GetTempPathA(sizeof temp, temp);
    ASSERT_GT(n, 0u);
    std::random_device random;
    root = std::string(temp, n) + "sfxfile" + std::to_string(random() % 1000000000u);
    // Backslashes throughout, as the file layer writes paths back (the emulation reads both).
    for (char &c : root) {
      if (c == '/') c = '\\';
    }
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
  }

  void TearDown() override {
    for (auto it = paths.rbegin(); it != paths.rend(); ++it) removeAny(*it);
    RemoveDirectoryA(root.c_str());
  }

  // root + "\" + name, remembered for removal.
  std::string path(const std::string &name) {
    paths.push_back(root + "\\" + name);
    return paths.back();
  }

  static void removeAny(const std::string &p) {
    SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(p.c_str())) RemoveDirectoryA(p.c_str());
  }

  static bool writeFile(const std::string &p, const std::string &content) {
    HANDLE h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, content.data(), DWORD(content.size()), &written, nullptr) && written == content.size();
    return CloseHandle(h) && ok;
  }

  static std::string readFile(const std::string &p) {
    HANDLE h = CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string content;
    if (h == INVALID_HANDLE_VALUE) return content;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) content.append(buf, got);
    CloseHandle(h);
    return content;
  }

  static bool exists(const std::string &p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

  std::string root;
  std::vector<std::string> paths;
};
