// The worker pool on its own: results come back in submission order with their CRCs, and jobs
// submitted ahead of the reader can be dropped in any state without disturbing those claimed
// before them. Expected CRCs come from zlib.
#include <gtest/gtest.h>

#include <string>

#include "DeflateSamples.h"
#include "ZlibCrc.h"
#include "archive/ChunkWorkers.h"

namespace {
void fill(DecodeJob &job, const std::string &text, bool stored = false) {
  std::vector<uint8_t> body = stored ? std::vector<uint8_t>(text.begin(), text.end()) : deflateLiterals(text);
  job.data.clear();
  job.data.append(body.data(), uint32_t(body.size()));
  job.storedSize = job.data.getSize();
  job.stored = stored;
}

std::string outputOf(const DecodeJob &job) {
  return std::string(reinterpret_cast<const char *>(job.output.getData()), job.output.getSize());
}
}  // namespace

TEST(ChunkWorkers, DroppedJobsAheadLeaveTheClaimedOnesAndTheRingUsable) {
  for (int threads : {1, 2, 8}) {
    ChunkWorkers workers(threads, nullptr, false);
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
      EXPECT_FALSE(job.crcTaken);
      EXPECT_EQ(outputOf(job), "claimed " + std::to_string(round)) << threads;
      workers.releaseOldest();
      EXPECT_EQ(workers.inFlight(), 0);
    }
  }
}

TEST(ChunkWorkers, ResultsComeBackInSubmissionOrderWithTheirCrcsAndBadChunksAreLeftUndone) {
  ChunkWorkers workers(4, nullptr, true);
  auto contents = [](int i) { return std::to_string(i) + std::string(size_t(i * 13), char('a' + i % 26)); };
  auto stored = [](int i) { return i % 5 == 1; };
  auto bad = [&](int i) { return i % 7 == 3 && !stored(i); };
  int next = 0;
  for (int i = 0; i < 200; ++i) {
    if (workers.full()) {
      DecodeJob &job = workers.waitOldest();
      if (bad(next)) {
        // Nothing plain to take a CRC of: the writer decodes it again and takes its own.
        EXPECT_FALSE(job.decoded);
        EXPECT_FALSE(job.crcTaken);
      } else {
        if (!stored(next)) {
          EXPECT_EQ(outputOf(job), contents(next));
        }
        EXPECT_TRUE(job.crcTaken) << next;
        EXPECT_EQ(job.crc, zlibCrc(contents(next))) << next;
      }
      ++next;
      workers.releaseOldest();
    }
    DecodeJob &job = workers.nextFree();
    fill(job, contents(i), stored(i));
    if (bad(i)) job.data.getData()[0] = 0xFF;
    workers.submit(true);
  }
  while (workers.inFlight() > 0) {
    workers.waitOldest();
    workers.releaseOldest();
  }
}
