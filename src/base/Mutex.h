// A mutex the compiler checks. Fields marked GUARDED_BY(m) may only be touched with m held, and
// functions marked REQUIRES(m) only called with it held; clang's -Wthread-safety says where
// that is not so (scripts/check-thread-safety runs it over the whole tree). Other compilers see
// plain std::mutex code.
#pragma once

#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define SFX_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define SFX_THREAD_ANNOTATION(x)
#endif
#define CAPABILITY(name) SFX_THREAD_ANNOTATION(capability(name))
#define SCOPED_CAPABILITY SFX_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(mutex) SFX_THREAD_ANNOTATION(guarded_by(mutex))
#define REQUIRES(...) SFX_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) SFX_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) SFX_THREAD_ANNOTATION(release_capability(__VA_ARGS__))

class CAPABILITY("mutex") Mutex {
 public:
  void lock() ACQUIRE() { m_mutex.lock(); }
  void unlock() RELEASE() { m_mutex.unlock(); }

 private:
  std::mutex m_mutex;
};

// Holds a Mutex from its construction to the end of its scope, except where it is let go with
// unlock() and taken again with lock(), as a condition variable does while it waits.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex &mutex) ACQUIRE(mutex) : m_mutex(mutex) { m_mutex.lock(); }
  ~MutexLock() RELEASE() {
    if (m_held) m_mutex.unlock();
  }
  MutexLock(const MutexLock &) = delete;
  MutexLock &operator=(const MutexLock &) = delete;

  void lock() ACQUIRE() {
    m_mutex.lock();
    m_held = true;
  }
  void unlock() RELEASE() {
    m_held = false;
    m_mutex.unlock();
  }

 private:
  Mutex &m_mutex;
  bool m_held = true;
};

// Waits on a MutexLock. A wait releases the mutex and takes it again before it returns, so the
// analysis rightly counts it as held throughout; the condition is checked in a loop around the
// wait, in the function that holds the lock, where the analysis sees it.
using ConditionVariable = std::condition_variable_any;
