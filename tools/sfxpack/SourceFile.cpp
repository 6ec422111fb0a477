#include "SourceFile.h"

#include <algorithm>
#include <filesystem>

#include "platform/win32.h"

namespace {
constexpr size_t kFirstStep = 64 * 1024;

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
  chunk.clear();
  size_t filled = 0;
  while (filled < size) {
    // The room grows with what came: most files are far smaller than a chunk, and clearing a
    // whole chunk's room for each of them would cost more than reading them.
    size_t step = std::min(size - filled, std::max(filled, kFirstStep));
    chunk.resize(filled + step);
    DWORD got = 0;
    if (!ReadFile(m_handle, &chunk[filled], DWORD(step), &got, nullptr)) {
      error = "Failed while reading " + m_path + windowsError();
      return false;
    }
    filled += got;
    if (got == 0) break;
  }
  chunk.resize(filled);
  return true;
}
