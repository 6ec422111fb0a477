// Worker threads that compress and encrypt chunks while the payload writer reads the next ones,
// handing every chunk back in the order it was given, so that the payload's bytes do not depend
// on the number of workers or on which of them finishes first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/Mutex.h"
#include "base/ThreadOwner.h"
#include "crypto/MessagePlace.h"

// One chunk of a file on its way into the payload.
struct ChunkJob {
  // Set by the writer before it submits the job; read by the worker.
  std::string prefix;  // payload bytes that precede this chunk: entry records, end-of-data words
  std::string raw;     // the file's bytes
  MessagePlace place;  // where the chunk stands, for the sealed scheme
  bool executable = false;  // a solid block mostly of executables: worth the x86 filter
  // Set by the worker; the writer reads them once the pool has handed the job back.
  std::string body;    // the chunk as the payload holds it: deflated or raw, then encrypted
  bool stored = false;
  bool failed = false;
  std::string error;
};

// Runs on one worker thread only, so it may own per-thread state (a compressor).
using ChunkTask = std::function<void(ChunkJob &)>;

// Threads: the submitting thread (the payload writer) calls every member and owns the jobs in
// flight. A worker reaches a job only through m_waiting, and gives it back through m_finished,
// both under m_mutex; while it runs the task the job is its alone.
class CompressionPool {
 public:
  // One worker per task, as many as the system gives threads (with none, takeOldest() runs the
  // first task on the submitting thread). At most `capacity` jobs are in flight (submitted, not
  // yet taken back), and the pool counts as full once their raw bytes reach `byteCapacity`: that
  // bounds the memory, while many small files can still be in flight behind one large chunk.
  CompressionPool(std::vector<ChunkTask> tasks, size_t capacity, size_t byteCapacity = SIZE_MAX);
  // Stops the workers; jobs not yet taken back are dropped, running ones finish first.
  ~CompressionPool();
  CompressionPool(const CompressionPool &) = delete;
  CompressionPool &operator=(const CompressionPool &) = delete;

  bool full() const { return m_inFlight.size() >= m_capacity || m_bytesInFlight >= m_byteCapacity; }
  bool empty() const { return m_inFlight.empty(); }
  void submit(std::unique_ptr<ChunkJob> job);
  // Waits until the oldest job in flight is done and hands it back; null when none is in flight.
  std::unique_ptr<ChunkJob> takeOldest();
  // takeOldest() for a writer: null, with the job's error, when its task failed.
  std::unique_ptr<ChunkJob> takeOldestDone(std::string &error);

 private:
  void work(const ChunkTask &task);

  const size_t m_capacity;
  const size_t m_byteCapacity;
  // Submitting thread only, oldest first, each with the raw size it was submitted with.
  std::deque<std::pair<std::unique_ptr<ChunkJob>, size_t>> m_inFlight;
  size_t m_bytesInFlight = 0;

  ThreadOwner m_submitter;
  Mutex m_mutex;
  ConditionVariable m_jobWaiting;  // workers wait here for m_waiting or m_stopping
  ConditionVariable m_jobDone;     // the submitting thread waits here for m_finished
  std::deque<ChunkJob *> m_waiting GUARDED_BY(m_mutex);
  std::unordered_set<const ChunkJob *> m_finished GUARDED_BY(m_mutex);
  bool m_stopping GUARDED_BY(m_mutex) = false;

  std::vector<ChunkTask> m_tasks;
  std::vector<std::thread> m_workers;
};
