#pragma once

#include "platform/win32.h"

// Removing or moving what a run extracted right after it was written, or right after its setup
// program ended, can meet a hold that passes by itself: a console host or a virus scanner still
// has the file or folder open (a sharing violation), or a folder still lists a file whose
// deletion waits for such a holder.
constexpr DWORD kCleanupRetryMs = 2000;

// Whether a failed removal with this error is worth trying again.
bool isPassingHold(DWORD error);

// True once attempt(context) succeeds; a failure whose last error is a passing hold is tried
// again until `limitMs` have gone by, any other failure ends at once.
bool retryWhileHeld(bool (*attempt)(void *), void *context, DWORD limitMs);
template <typename F>
bool retryWhileHeld(F &&attempt, DWORD limitMs) {
  return retryWhileHeld([](void *f) { return (*static_cast<F *>(f))(); }, &attempt, limitMs);
}
