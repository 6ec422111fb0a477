#pragma once

// Asks Windows its version once. Major version 4 (Windows 95, 98, ME and NT 4) lacks or
// mishandles the wide file calls, so the file-system layer then uses the ANSI calls throughout.
class WindowsVersion {
 public:
  WindowsVersion();
  bool isVersion4() const { return m_majorVersion == 4; }

 private:
  unsigned m_majorVersion = 0;
};
