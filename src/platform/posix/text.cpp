#include "platform/posix/text.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace posix {

std::string toUtf8(LPCWSTR text) {
  std::string out;
  if (text == nullptr) return out;
  for (size_t i = 0; text[i] != 0; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string toUtf16(const std::string &text) {
  std::u16string out;
  const auto *s = reinterpret_cast<const unsigned char *>(text.data());
  size_t n = text.size();
  for (size_t i = 0; i < n;) {
    uint32_t c = s[i];
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    bool ok = extra >= 0 && i + size_t(extra) < n;
    if (ok && extra) {
      c &= 0x3Fu >> extra;
      for (int k = 1; k <= extra && ok; ++k) {
        ok = (s[i + size_t(k)] & 0xC0) == 0x80;
        c = (c << 6) | (s[i + size_t(k)] & 0x3F);
      }
    }
    if (!ok) {
      // Paths from the program are valid UTF-8; anything else still gets a name, not a crash.
      out += char16_t(0xFFFD);
      ++i;
      continue;
    }
    i += size_t(extra) + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      out += char16_t(c);
    }
  }
  return out;
}

std::string toPosixPath(const std::string &windowsPath) {
  std::string p = windowsPath;
  for (char &c : p) {
    if (c == '\\') c = '/';
  }
  if (p.compare(0, 8, "//?/UNC/") == 0) {
    p = "//" + p.substr(8);
  } else if (p.compare(0, 4, "//?/") == 0) {
    p = p.substr(4);
  }
  bool drive = p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
  if (drive) p = p.size() == 2 ? std::string("/") : p.substr(2);
  return p;
}

DWORD copyOut(const std::string &text, DWORD bufferLength, LPSTR buffer) {
  if (buffer == nullptr || bufferLength < text.size() + 1) return DWORD(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return DWORD(text.size());
}

DWORD copyOut(const std::u16string &text, DWORD bufferLength, LPWSTR buffer) {
  if (buffer == nullptr || bufferLength < text.size() + 1) return DWORD(text.size() + 1);
  std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  return DWORD(text.size());
}

DWORD errorFromErrno(int error, const std::string &path) {
  switch (error) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT: {
      // Windows tells a missing file in an existing folder from a missing folder.
      std::string parent = path;
      while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
      size_t slash = parent.rfind('/');
      parent = slash == std::string::npos ? "." : slash == 0 ? "/" : parent.substr(0, slash);
      struct stat st {};
      return (path.empty() || (stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) ? ERROR_FILE_NOT_FOUND
                                                                                        : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EBUSY:
    case ETXTBSY:
      return ERROR_SHARING_VIOLATION;
    default:
      return ERROR_INVALID_FUNCTION;
  }
}

void setLastErrorFromErrno(int error, const std::string &path) { SetLastError(errorFromErrno(error, path)); }

}  // namespace posix
