#pragma once

#include <cstdint>

#include "base/XString.h"
#include "platform/win32.h"

// A path on its way into a Win32 call: a private copy in which every "/" has become "\", its
// length in UTF-16 code units (taken before any other form is made) and the three forms the
// calls take. The caller's path is never changed.
class Win32Path {
 public:
  explicit Win32Path(const XString &path);
  explicit Win32Path(const char *utf8);

  XString &text() { return m_path; }
  // Rewrites what Windows does not allow in names (see sanitizeWindowsPath), unlogged.
  void sanitize(bool withDeviceNames);
  uint32_t length() const { return m_length; }
  bool ansiSafe() const { return m_path.ansiSafe(); }

  const char *ansi() const { return m_path.getAnsi(); }
  LPCWSTR wide() const { return reinterpret_cast<LPCWSTR>(m_path.getUtf16()); }
  // The "\\?\" form of the full path, which lifts the 260-character limit of the wide calls.
  LPCWSTR longWide();

  // Windows rejects ANSI and plain wide paths from this length on.
  static constexpr uint32_t kMaxPlain = 260;

 private:
  void takeText();

  XString m_path;
  XString m_long;
  uint32_t m_length = 0;
};
