// Threads, time and last error over POSIX.
#include "platform/win32.h"

#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD code) { lastError = code; }

DWORD GetTickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
  return DWORD(ms);
}

DWORD GetCurrentThreadId() { return DWORD(syscall(SYS_gettid)); }

DWORD GetActiveProcessorCount(WORD) {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  int count = CPU_COUNT(&set);
  return count > 0 ? DWORD(count) : 1;
}

void Sleep(DWORD milliseconds) {
  timespec pause{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
  while (nanosleep(&pause, &pause) != 0) {
  }
}
