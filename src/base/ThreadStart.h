// Starting a thread without letting a refusal end the process: std::thread throws when the
// system has no thread to give (memory, a job's limits), and an uncaught throw aborts. Every
// thread the program starts goes through here, so that its caller can go on with fewer.
#pragma once

#include <functional>
#include <thread>
#include <vector>

// Starts `body` on a new thread held by `thread`; false, with `thread` left empty, when the
// system refuses it.
bool startThread(std::thread &thread, std::function<void()> body);
// The same for a pool: the new thread joins `threads` only when it started.
bool startThreadInto(std::vector<std::thread> &threads, std::function<void()> body);

// For tests: the next `count` starts succeed and every later one is refused, as a system out of
// threads would; a negative count lifts the limit.
void limitThreadStartsForTesting(int count);
