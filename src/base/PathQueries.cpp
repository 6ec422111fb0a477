#include "base/PathQueries.h"

#include <cstring>

#include "base/PathRules.h"
#include "base/Win32Path.h"
#include "base/WindowsVersion.h"

namespace {
constexpr DWORD kQueryChars = 2048;
constexpr DWORD kModuleChars = 1024;

// The Win32 string queries return the length without the terminator, or the size needed (larger
// than the buffer) when it did not fit, or 0 on failure.
bool fits(DWORD length, DWORD bufferChars) { return length > 0 && length < bufferChars; }

void setFromWide(const WCHAR *text, XString &out) { out.setUtf16(reinterpret_cast<const char16_t *>(text)); }

// A query with a wide call and an ANSI fallback; only the ANSI call on version 4.
template <typename WideQuery, typename AnsiQuery>
void queryText(DWORD bufferChars, WideQuery wide, AnsiQuery ansi, XString &out) {
  out.clear();
  if (!WindowsVersion().isVersion4()) {
    WCHAR buffer[kQueryChars] = {};
    if (fits(wide(bufferChars, buffer), bufferChars)) {
      setFromWide(buffer, out);
      return;
    }
  }
  char buffer[kQueryChars] = {};
  if (fits(ansi(bufferChars, buffer), bufferChars)) out.setAnsi(buffer);
}

// Keeps the text after the last "\" (else after the last "/") of a path.
void keepLastComponent(XString &path) {
  StringBuffer &text = path.getUtf8BufferForChange();
  const char *t = text.getText();
  const char *slash = std::strrchr(t, '\\');
  if (slash == nullptr) slash = std::strrchr(t, '/');
  if (slash != nullptr) text.removeRange(0, uint32_t(slash + 1 - t));
}

void trimDir(const XString &dir, XString &out) {
  out.setUtf8(dir.getUtf8());
  StringBuffer &text = out.getUtf8BufferForChange();
  text.trim();
  text.replaceCharBytes('/', '\\');
}

void joinWithBackslash(XString &dir, const XString &name, XString &out) {
  out.copyFrom(dir);
  if (!out.endsWith("\\")) out.appendUtf8("\\");
  out.appendXString(name);
}
}  // namespace

void getFullPath(const XString &path, XString &out) {
  Win32Path copy(path);
  out.clear();
  if (WindowsVersion().isVersion4()) {
    char buffer[kQueryChars] = {};
    if (fits(GetFullPathNameA(copy.ansi(), kQueryChars, buffer, nullptr), kQueryChars)) {
      out.setAnsi(buffer);
      return;
    }
  } else {
    WCHAR buffer[kQueryChars] = {};
    if (fits(GetFullPathNameW(copy.wide(), kQueryChars, buffer, nullptr), kQueryChars)) {
      setFromWide(buffer, out);
      return;
    }
  }
  out.copyFrom(path);
}

void getFileNamePart(const XString &path, XString &out) {
  Win32Path copy(path);
  out.clear();
  if (WindowsVersion().isVersion4()) {
    char buffer[kQueryChars] = {};
    char *filePart = nullptr;
    DWORD n = GetFullPathNameA(copy.ansi(), kQueryChars, buffer, &filePart);
    if (fits(n, kQueryChars) && filePart != nullptr) out.setAnsi(filePart);
    return;
  }
  WCHAR buffer[kQueryChars] = {};
  WCHAR *filePart = nullptr;
  DWORD n = GetFullPathNameW(copy.wide(), kQueryChars, buffer, &filePart);
  if (fits(n, kQueryChars) && filePart != nullptr) {
    setFromWide(filePart, out);
    return;
  }
  // Device names ("con.txt" becomes "\\.\con") and paths ending in a separator have no file
  // part; the text itself still has a last component.
  out.copyFrom(copy.text());
  keepLastComponent(out);
}

void getCurrentDir(XString &out) {
  queryText(
      kQueryChars, [](DWORD size, WCHAR *buffer) { return GetCurrentDirectoryW(size, buffer); },
      [](DWORD size, char *buffer) { return GetCurrentDirectoryA(size, buffer); }, out);
}

void getTempDir(XString &out) {
  queryText(
      kQueryChars, [](DWORD size, WCHAR *buffer) { return GetTempPathW(size, buffer); },
      [](DWORD size, char *buffer) { return GetTempPathA(size, buffer); }, out);
}

void getExePath(XString &out) {
  queryText(
      kModuleChars, [](DWORD size, WCHAR *buffer) { return GetModuleFileNameW(nullptr, buffer, size); },
      [](DWORD size, char *buffer) { return GetModuleFileNameA(nullptr, buffer, size); }, out);
}

bool setCurrentDir(const XString &path) {
  Win32Path copy(path);
  if (WindowsVersion().isVersion4()) return SetCurrentDirectoryA(copy.ansi()) != FALSE;
  return SetCurrentDirectoryW(copy.longWide()) != FALSE;
}

void makeLongPath(const XString &path, XString &out) {
  out.clear();
  XString full;
  // Windows leaves a long path as it is; asking it is then needless.
  Win32Path copy(path);
  if (copy.text().beginsWith("\\\\?\\")) {
    out.copyFrom(copy.text());
    return;
  }
  getFullPath(copy.text(), full);
  // Windows gives backslashes already; the POSIX emulation gives "/".
  full.getUtf8BufferForChange().replaceCharBytes('/', '\\');
  if (full.beginsWith("\\\\")) {
    out.setUtf8("\\\\?\\UNC");
    out.appendUtf8(full.getUtf8() + 1);
  } else {
    out.setUtf8("\\\\?\\");
    out.appendXString(full);
  }
}

void joinDirFileName(const XString &dir, const XString &path, XString &out) {
  XString name;
  getFileNamePart(path, name);
  XString trimmed;
  trimDir(dir, trimmed);
  if (trimmed.isEmpty()) {
    out.copyFrom(name);
    return;
  }
  joinWithBackslash(trimmed, name, out);
}

void joinDirPath(const XString &dir, const XString &path, XString &out) {
  XString rest;
  rest.setUtf8(path.getUtf8());
  XString trimmed;
  trimDir(dir, trimmed);
  if (trimmed.isEmpty()) {
    out.copyFrom(rest);
    out.getUtf8BufferForChange().replaceCharBytes('/', '\\');
    return;
  }
  stripPathRoot(rest);
  joinWithBackslash(trimmed, rest, out);
}
