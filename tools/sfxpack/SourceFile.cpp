#include "SourceFile.h"

#include <filesystem>

#include "platform/win32.h"

namespace {
std::string windowsError() { return " (Windows error " + std::to_string(GetLastError()) + ")"; }
}  // namespace

SourceFile::~SourceFile() {
  if (m_handle) CloseHandle(m_handle);
}

bool SourceFile::open(const std::string &utf8Path, std::string &error) {
  m_path = utf8Path;
  std::u16string name = std::filesystem::u8path(utf8Path).u16string();
  HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(name.c_str()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = "Cannot open " + utf8Path + windowsError();
    return false;
  }
  m_handle = h;
  return true;
}

bool SourceFile::read(size_t size, std::string &chunk, std::string &error) {
  chunk.resize(size);
  size_t filled = 0;
  while (filled < size) {
    DWORD got = 0;
    if (!ReadFile(m_handle, &chunk[filled], DWORD(size - filled), &got, nullptr)) {
      error = "Failed while reading " + m_path + windowsError();
      return false;
    }
    if (got == 0) break;
    filled += got;
  }
  chunk.resize(filled);
  return true;
}
