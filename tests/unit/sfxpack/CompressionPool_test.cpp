#include "CompressionPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/ThreadStart.h"

namespace {

std::unique_ptr<ChunkJob> jobOf(const std::string &raw) {
  auto job = std::make_unique<ChunkJob>();
  job->raw = raw;
  return job;
}

std::vector<ChunkTask> sameTask(int workers, const ChunkTask &task) { return std::vector<ChunkTask>(workers, task); }

// Counts finished jobs and lets a task wait until a number of them have finished.
class FinishLine {
 public:
  void finished() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_count;
    }
    m_changed.notify_all();
  }
  void waitFor(int count) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return m_count >= count; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  int m_count = 0;
};

TEST(CompressionPool, HandsJobsBackInSubmissionOrderWhenLaterOnesFinishFirst) {
  FinishLine line;
  const int workers = 4;
  // The first job waits until every other one is done, so the pool must hold them back.
  CompressionPool pool(sameTask(workers,
                                [&](ChunkJob &job) {
                                  if (job.raw == "0") line.waitFor(workers - 1);
                                  job.body = "done " + job.raw;
                                  if (job.raw != "0") line.finished();
                                }),
                       workers);
  for (int i = 0; i < workers; ++i) pool.submit(jobOf(std::to_string(i)));
  EXPECT_TRUE(pool.full());
  for (int i = 0; i < workers; ++i) {
    std::unique_ptr<ChunkJob> job = pool.takeOldest();
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->body, "done " + std::to_string(i));
  }
  EXPECT_TRUE(pool.empty());
  EXPECT_EQ(pool.takeOldest(), nullptr);
}

TEST(CompressionPool, CapacityCountsJobsUntilTakenBack) {
  CompressionPool pool(sameTask(1, [](ChunkJob &job) { job.body = job.raw; }), 3);
  pool.submit(jobOf("a"));
  pool.submit(jobOf("b"));
  EXPECT_FALSE(pool.full());
  pool.submit(jobOf("c"));
  EXPECT_TRUE(pool.full());
  EXPECT_EQ(pool.takeOldest()->body, "a");
  EXPECT_FALSE(pool.full());
}

TEST(CompressionPool, RawBytesInFlightAlsoFillIt) {
  CompressionPool pool(sameTask(1, [](ChunkJob &job) { job.body = job.raw; }), 10, 8);
  pool.submit(jobOf("abc"));
  pool.submit(jobOf("defg"));
  EXPECT_FALSE(pool.full());
  pool.submit(jobOf("h"));
  EXPECT_TRUE(pool.full());
  EXPECT_EQ(pool.takeOldest()->body, "abc");
  EXPECT_FALSE(pool.full());
  pool.submit(jobOf("ijklmnop"));
  EXPECT_TRUE(pool.full());
}

TEST(CompressionPool, ManyJobsOnManyWorkersEachRunOnceInOrder) {
  std::atomic<int> runs{0};
  CompressionPool pool(sameTask(8,
                                [&](ChunkJob &job) {
                                  ++runs;
                                  job.body.assign(job.raw.rbegin(), job.raw.rend());
                                }),
                       16);
  int next = 0;
  const int total = 2000;
  for (int i = 0; i < total; ++i) {
    if (pool.full()) {
      std::unique_ptr<ChunkJob> job = pool.takeOldest();
      std::string want = std::to_string(next++) + "x";
      EXPECT_EQ(job->body, std::string(want.rbegin(), want.rend()));
    }
    pool.submit(jobOf(std::to_string(i) + "x"));
  }
  while (!pool.empty()) {
    std::string want = std::to_string(next++) + "x";
    EXPECT_EQ(pool.takeOldest()->body, std::string(want.rbegin(), want.rend()));
  }
  EXPECT_EQ(next, total);
  EXPECT_EQ(runs.load(), total);
}

TEST(CompressionPool, EachTaskRunsOnItsOwnWorker) {
  // Per-worker state without a lock: a task that ran on two threads at once would be caught by
  // the thread sanitizer here.
  std::vector<int> counts(3, 0);
  std::vector<ChunkTask> tasks;
  for (int w = 0; w < 3; ++w) tasks.push_back([&counts, w](ChunkJob &) { ++counts[w]; });
  {
    CompressionPool pool(std::move(tasks), 6);
    for (int i = 0; i < 300; ++i) {
      if (pool.full()) pool.takeOldest();
      pool.submit(jobOf("x"));
    }
    while (!pool.empty()) pool.takeOldest();
  }
  EXPECT_EQ(counts[0] + counts[1] + counts[2], 300);
}

TEST(CompressionPool, StopsWithJobsStillQueued) {
  FinishLine release;
  auto pool = std::make_unique<CompressionPool>(sameTask(1, [&](ChunkJob &) { release.waitFor(1); }), 10);
  for (int i = 0; i < 10; ++i) pool->submit(jobOf("x"));
  release.finished();
  // The running job finishes, the queued ones are dropped; nothing hangs or leaks.
  pool.reset();
  SUCCEED();
}

}  // namespace

// Without the threads it asked for the pool still hands every job back done, in order: with none
// the submitting thread does the work, with fewer the started workers do all of it.
TEST(CompressionPool, ThreadsTheSystemRefusesLeaveTheJobsToFewerWorkers) {
  for (int threads : {0, 1}) {
    limitThreadStartsForTesting(threads);
    {
      CompressionPool pool(sameTask(4, [](ChunkJob &job) { job.body = "done " + job.raw; }), 3);
      limitThreadStartsForTesting(-1);
      for (int i = 0; i < 10; ++i) {
        if (pool.full()) {
          std::unique_ptr<ChunkJob> job = pool.takeOldest();
          ASSERT_NE(job, nullptr);
          EXPECT_EQ(job->body, "done " + std::to_string(i - 3)) << threads;
        }
        pool.submit(jobOf(std::to_string(i)));
      }
      for (int i = 7; i < 10; ++i) EXPECT_EQ(pool.takeOldest()->body, "done " + std::to_string(i)) << threads;
      EXPECT_TRUE(pool.empty());
    }
  }
}
