#include "CompressionPool.h"

#include <utility>

#include "base/ThreadStart.h"

CompressionPool::CompressionPool(std::vector<ChunkTask> tasks, size_t capacity, size_t byteCapacity)
    : m_capacity(capacity ? capacity : 1), m_byteCapacity(byteCapacity), m_tasks(std::move(tasks)) {
  m_workers.reserve(m_tasks.size());
  // As many workers as the system gives threads; with none, takeOldest() does the work itself.
  for (const ChunkTask &task : m_tasks) {
    if (!startThreadInto(m_workers, [this, &task] { work(task); })) break;
  }
}

CompressionPool::~CompressionPool() {
  {
    MutexLock lock(m_mutex);
    m_stopping = true;
  }
  m_jobWaiting.notify_all();
  for (std::thread &worker : m_workers) worker.join();
}

void CompressionPool::submit(std::unique_ptr<ChunkJob> job) {
  m_submitter.check();
  ChunkJob *queued = job.get();
  const size_t bytes = job->raw.size();
  m_bytesInFlight += bytes;
  m_inFlight.emplace_back(std::move(job), bytes);
  {
    MutexLock lock(m_mutex);
    m_waiting.push_back(queued);
  }
  m_jobWaiting.notify_one();
}

std::unique_ptr<ChunkJob> CompressionPool::takeOldest() {
  m_submitter.check();
  if (m_inFlight.empty()) return nullptr;
  const ChunkJob *oldest = m_inFlight.front().first.get();
  if (m_workers.empty()) {
    {
      // Jobs are taken in the order they were submitted, so the oldest is the first waiting.
      MutexLock lock(m_mutex);
      m_waiting.pop_front();
    }
    m_tasks.front()(*m_inFlight.front().first);
  } else {
    MutexLock lock(m_mutex);
    while (m_finished.count(oldest) == 0) m_jobDone.wait(lock);
    m_finished.erase(oldest);
  }
  std::unique_ptr<ChunkJob> job = std::move(m_inFlight.front().first);
  m_bytesInFlight -= m_inFlight.front().second;
  m_inFlight.pop_front();
  return job;
}

std::unique_ptr<ChunkJob> CompressionPool::takeOldestDone(std::string &error) {
  std::unique_ptr<ChunkJob> job = takeOldest();
  if (job != nullptr && job->failed) {
    error = job->error;
    return nullptr;
  }
  return job;
}

void CompressionPool::work(const ChunkTask &task) {
  for (;;) {
    ChunkJob *job = nullptr;
    {
      MutexLock lock(m_mutex);
      while (!m_stopping && m_waiting.empty()) m_jobWaiting.wait(lock);
      if (m_stopping) return;
      job = m_waiting.front();
      m_waiting.pop_front();
    }
    task(*job);
    {
      MutexLock lock(m_mutex);
      m_finished.insert(job);
    }
    m_jobDone.notify_one();
  }
}
