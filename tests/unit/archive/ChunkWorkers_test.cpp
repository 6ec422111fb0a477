// The worker pool on its own: results come back in submission order, and jobs submitted ahead
// of the reader can be dropped in any state without disturbing those claimed before them.
#include <gtest/gtest.h>

#include <string>

#include "DeflateSamples.h"
#include "archive/ChunkWorkers.h"

namespace {
void fill(DecodeJob &job, const std::string &text) {
  std::vector<uint8_t> deflate = deflateLiterals(text);
  job.data.clear();
  job.data.append(deflate.data(), uint32_t(deflate.size()));
  job.storedSize = job.data.getSize();
  job.stored = false;
}

std::string outputOf(const DecodeJob &job) {
  return std::string(reinterpret_cast<const char *>(job.output.getData()), job.output.getSize());
}
}  // namespace

TEST(ChunkWorkers, DroppedJobsAheadLeaveTheClaimedOnesAndTheRingUsable) {
  for (int threads : {1, 2, 8}) {
    ChunkWorkers workers(threads, nullptr);
    ASSERT_TRUE(workers.usable());
    for (int round = 0; round < 20; ++round) {
      fill(workers.nextFree(), "claimed " + std::to_string(round));
      workers.submit(true);
      while (!workers.full()) {
        fill(workers.nextFree(), std::string(500, 'x'));
        workers.submit(false);
      }
      EXPECT_EQ(workers.claimed(), 1);
      workers.dropUnclaimed();
      EXPECT_EQ(workers.inFlight(), 1);
      DecodeJob &job = workers.waitOldest();
      EXPECT_TRUE(job.decoded);
      EXPECT_EQ(outputOf(job), "claimed " + std::to_string(round)) << threads;
      workers.releaseOldest();
      EXPECT_EQ(workers.inFlight(), 0);
    }
  }
}

TEST(ChunkWorkers, ResultsComeBackInSubmissionOrderAndBadChunksAreLeftUndone) {
  ChunkWorkers workers(4, nullptr);
  int next = 0;
  for (int i = 0; i < 200; ++i) {
    if (workers.full()) {
      DecodeJob &job = workers.waitOldest();
      if (next % 7 == 3) {
        EXPECT_FALSE(job.decoded);
      } else {
        EXPECT_EQ(outputOf(job), std::to_string(next));
      }
      ++next;
      workers.releaseOldest();
    }
    DecodeJob &job = workers.nextFree();
    fill(job, std::to_string(i));
    if (i % 7 == 3) job.data.getData()[0] = 0xFF;
    workers.submit(true);
  }
  while (workers.inFlight() > 0) {
    workers.waitOldest();
    workers.releaseOldest();
  }
}
