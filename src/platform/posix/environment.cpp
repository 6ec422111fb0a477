// Environment variables, code page and the names of the machine and its user.
#include <pwd.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/posix/text.h"
#include "platform/win32.h"

extern char **environ;

namespace {
char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

bool sameNameIgnoringCase(const char *entry, const char *name, size_t nameLength) {
  for (size_t i = 0; i < nameLength; ++i) {
    if (entry[i] == 0 || asciiUpper(entry[i]) != asciiUpper(name[i])) return false;
  }
  return entry[nameLength] == '=';
}

}  // namespace

// Names are compared ignoring ASCII case, as on Windows, so "%temp%" and "ComSpec" find what
// the Windows build would find.
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
  size_t nameLength = name ? std::strlen(name) : 0;
  if (nameLength != 0 && std::strchr(name, '=') == nullptr) {
    for (char **entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
      if (!sameNameIgnoringCase(*entry, name, nameLength)) continue;
      const char *value = *entry + nameLength + 1;
      return posix::copyOut(value, size, buffer);
    }
  }
  SetLastError(ERROR_ENVVAR_NOT_FOUND);
  return 0;
}

// The environment holds UTF-8 here; `size` and the result count UTF-16 code units, as on
// Windows.
DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
  std::string narrowName = name ? posix::toUtf8(name) : std::string();
  DWORD needed = GetEnvironmentVariableA(narrowName.c_str(), nullptr, 0);
  if (needed == 0) return 0;
  std::string value(needed, '\0');
  value.resize(GetEnvironmentVariableA(narrowName.c_str(), &value[0], needed));
  return posix::copyOut(posix::toUtf16(value), size, buffer);
}

// Linux text is UTF-8, so the "ANSI" code page of this build is UTF-8: every path converts
// without loss and the narrow calls serve.
UINT GetACP() { return 65001; }

// The NetBIOS-style name Windows reports: the host name's first label in upper case, at most 15
// characters. `size` is in characters; on success it becomes the length without terminator.
BOOL GetComputerNameW(LPWSTR buffer, DWORD *size) {
  char host[256] = {};
  if (size == nullptr || gethostname(host, sizeof host - 1) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  size_t length = std::strcspn(host, ".");
  if (length > 15) length = 15;
  if (buffer == nullptr || length + 1 > *size) {
    *size = DWORD(length + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(host[i]);
    buffer[i] = c < 0x80 ? WCHAR(asciiUpper(char(c))) : WCHAR('?');
  }
  buffer[length] = 0;
  *size = DWORD(length);
  return TRUE;
}

// The login name of the effective user. `size` is in bytes and, on success, counts the
// terminator, as Windows does.
BOOL GetUserNameA(LPSTR buffer, DWORD *size) {
  if (size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const passwd *entry = getpwuid(geteuid());
  const char *name = entry && entry->pw_name ? entry->pw_name : nullptr;
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  size_t length = std::strlen(name);
  if (buffer == nullptr || length + 1 > *size) {
    *size = DWORD(length + 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, name, length + 1);
  *size = DWORD(length + 1);
  return TRUE;
}
