#include "base/ThreadStart.h"

#include <atomic>
#include <system_error>

namespace {
std::atomic<int> s_startsLeft{-1};

bool startAllowed() {
  int left = s_startsLeft.load();
  while (left >= 0) {
    if (left == 0) return false;
    if (s_startsLeft.compare_exchange_weak(left, left - 1)) return true;
  }
  return true;
}
}  // namespace

bool startThread(std::thread &thread, std::function<void()> body) {
  if (!startAllowed()) return false;
  try {
    thread = std::thread(std::move(body));
    return true;
  } catch (const std::system_error &) {
    return false;
  }
}

bool startThreadInto(std::vector<std::thread> &threads, std::function<void()> body) {
  std::thread thread;
  if (!startThread(thread, std::move(body))) return false;
  threads.push_back(std::move(thread));
  return true;
}

void limitThreadStartsForTesting(int count) { s_startsLeft.store(count); }
