#include "platform/posix/text.h"
#include "platform/win32.h"

BOOL CloseHandle(HANDLE handle) {
  if (posix::closeFileHandle(handle) || posix::closeProcessHandle(handle)) return TRUE;
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}
