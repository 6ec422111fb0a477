#include "base/WindowsVersion.h"

#include "platform/win32.h"

WindowsVersion::WindowsVersion() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (GetVersionExA(&info)) m_majorVersion = info.dwMajorVersion;
}
