#include "base/Win32Path.h"

#include "base/PathQueries.h"
#include "base/PathRules.h"

Win32Path::Win32Path(const XString &path) {
  m_path.setUtf8(path.getUtf8());
  takeText();
}

Win32Path::Win32Path(const char *utf8) {
  m_path.setUtf8(utf8);
  takeText();
}

void Win32Path::takeText() {
  m_path.getUtf8BufferForChange().replaceCharBytes('/', '\\');
  m_length = m_path.getNumChars();
}

LPCWSTR Win32Path::longWide() {
  if (m_long.isEmpty()) makeLongPath(m_path, m_long);
  return reinterpret_cast<LPCWSTR>(m_long.getUtf16());
}

void Win32Path::sanitize(bool withDeviceNames) {
  LogNull quiet;
  sanitizeWindowsPath(m_path, withDeviceNames, quiet);
  m_long.clear();
  m_length = m_path.getNumChars();
}
