// The thread an object belongs to: the one that made it. Where a member may only be called from
// that thread, check() says so in debug builds and costs nothing in release builds.
#pragma once

#include <cassert>
#include <thread>

class ThreadOwner {
 public:
  void check() const { assert(std::this_thread::get_id() == m_owner && "called from a thread that does not own it"); }

 private:
  std::thread::id m_owner = std::this_thread::get_id();
};
