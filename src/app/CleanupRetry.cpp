#include "app/CleanupRetry.h"

namespace {
constexpr DWORD kPauseMs = 50;
}  // namespace

bool isPassingHold(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_DIR_NOT_EMPTY;
}

bool retryWhileHeld(bool (*attempt)(void *), void *context, DWORD limitMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (attempt(context)) return true;
    if (!isPassingHold(GetLastError()) || GetTickCount() - start >= limitMs) return false;
    Sleep(kPauseMs);
  }
}
