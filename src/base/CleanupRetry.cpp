#include "base/CleanupRetry.h"

namespace {
constexpr DWORD kPauseMs = 50;
}  // namespace

bool isPassingHold(DWORD error) {
  // Access denied is no hold: a read-only file or a folder without the right stays so.
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_DIR_NOT_EMPTY;
}

bool retryWhileHeld(bool (*attempt)(void *), void *context, DWORD limitMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (attempt(context)) return true;
    if (!isPassingHold(GetLastError()) || GetTickCount() - start >= limitMs) return false;
    Sleep(kPauseMs);
  }
}
