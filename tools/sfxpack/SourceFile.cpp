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
  DWORD high = 0;
  const DWORD low = GetFileSize(h, &high);
  // Only a guess at the room reads need: the file may change while it is read.
  m_expectedLeft = low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS ? 0 : uint64_t(high) << 32 | low;
  return true;
}

bool SourceFile::read(size_t size, std::string &chunk, std::string &error) {
  chunk.clear();
  // Room for what the file should still hold and one byte more, so that its end shows without
  // a second allocation; a file that grew since it was opened gets room that doubles.
  const size_t guess = size_t(std::min<uint64_t>(size, m_expectedLeft + 1));
  size_t filled = 0;
  while (filled < size) {
    if (filled == chunk.size()) chunk.resize(filled == 0 ? guess : std::min(size, std::max(2 * filled, kFirstStep)));
    DWORD got = 0;
    if (!ReadFile(m_handle, &chunk[filled], DWORD(chunk.size() - filled), &got, nullptr)) {
      error = "Failed while reading " + m_path + windowsError();
      return false;
    }
    filled += got;
    m_expectedLeft -= std::min<uint64_t>(got, m_expectedLeft);
    if (got == 0) break;
  }
  chunk.resize(filled);
  return true;
}
