// Chunks decoded on worker threads: whatever the number of workers, a run writes the same bytes,
// reports the same progress and logs the same messages in the same order as one without them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ArchiveTestSupport.h"
#include "DeflateSamples.h"
#include "ZlibCrc.h"
#include "base/ThreadStart.h"
#include "unit/compress/RecordingLog.h"

namespace {
// Reads like memory up to `failAt`; a read starting there fails with a message of its own, as a
// bad sector would.
class FailingSource : public MemoryDataSource {
 public:
  uint64_t failAt = ~uint64_t(0);
  bool readBytes(uint8_t *buffer, uint32_t maximum, uint32_t &count, bool &endOfData, ProgressMonitor *monitor,
                 LogBase &log) override {
    const uint64_t position = uint64_t(getPosition());
    if (position < failAt && position + maximum > failAt) maximum = uint32_t(failAt - position);
    if (position >= failAt) {
      count = 0;
      endOfData = false;
      log.logError("read error");
      return false;
    }
    return MemoryDataSource::readBytes(buffer, maximum, count, endOfData, monitor, log);
  }
};

// Everything a dry run of a whole payload leaves behind.
struct RunRecord {
  bool ok = false;
  std::string bytes;
  std::vector<std::string> names;
  std::vector<std::pair<uint32_t, uint32_t>> progress;
  std::vector<std::string> log;
};

RunRecord dryRun(const PayloadBytes &p, int workers, const std::string &password = "",
                 uint64_t failAt = ~uint64_t(0)) {
  RunRecord r;
  MemoryArchive m(p.bytes);
  FailingSource failing;
  failing.setData(m.bytes.data(), m.bytes.size());
  failing.failAt = failAt;
  m.archive.setSource(&failing);
  m.archive.setWorkerCount(workers);
  if (!m.openContainer()) return r;
  RecordingLog log;
  if (!password.empty()) {
    DataBuffer cache;
    m.archive.setPassword(password.data(), uint32_t(password.size()));
    if (!m.archive.verifyPassword(log, cache)) return r;
  }
  for (int i = 0; i < 1000; ++i) {
    r.ok = m.next(log);
    if (!r.ok || m.end) break;
    r.names.push_back(m.name.getText());
  }
  r.bytes = m.sink.text;
  r.progress = m.progress.calls;
  r.log = log.entries;
  return r;
}

// Literal text that differs from chunk to chunk, so that a chunk written out of place shows.
std::string chunkText(int index) {
  std::string text;
  for (int i = 0; i < 300 + index * 37; ++i) text += char('a' + (i * 7 + index) % 26);
  return text + "#" + std::to_string(index);
}

// A directory, a file of many chunks of every kind (one expanding far beyond what a worker keeps),
// a file of one chunk and one of two. `corruptAt` replaces that chunk of the large file with bad
// deflate data; `cutAt` ends the payload in the middle of that chunk; `crcs`, when given, is the
// payload's check-value list.
PayloadBytes manyChunks(bool encrypted, int corruptAt = -1, int cutAt = -1,
                        const std::vector<uint32_t> *crcs = nullptr) {
  PayloadBytes p;
  p.marker().header(encrypted, 2);
  if (encrypted) p.encryptWith("pw", 256);
  if (crcs != nullptr) p.checkValues(*crcs);
  p.endValues();
  if (encrypted) p.verifier();
  p.entry(1, "dir");
  p.entry(2, "dir\\large.bin");
  for (int i = 0; i < 24; ++i) {
    if (i == cutAt) {
      p.u32(4000).raw(std::string(100, 'c'));
      return p;
    }
    if (i == corruptAt) {
      p.deflatedChunk({0xFF, 0xFF, 0xFF});
    } else if (i == 5) {
      p.storedChunk(std::string(70000, 's'));
    } else if (i == 9) {
      p.deflatedChunk(deflateZeros(3 * 1024 * 1024));
    } else {
      p.deflatedChunk(deflateLiterals(chunkText(i)));
    }
  }
  p.endChunks();
  p.entry(2, "one.txt").deflatedChunk(deflateLiterals("only chunk")).endChunks();
  p.entry(2, "two.txt").storedChunk("first,").deflatedChunk(deflateLiterals("second")).endChunks();
  p.entry(2, "empty").endChunks();
  return p.endEntry();
}

// What dir\large.bin holds.
std::string largeContents() {
  std::string large;
  for (int i = 0; i < 24; ++i) {
    large += i == 5 ? std::string(70000, 's') : i == 9 ? std::string(3 * 1024 * 1024 + 1, '\0') : chunkText(i);
  }
  return large;
}

// The errors alone, in order: named values such as the failed file's name may follow them.
std::vector<std::string> errorsOf(const std::vector<std::string> &log) {
  std::vector<std::string> out;
  for (const std::string &e : log)
    if (e.rfind("error:", 0) == 0) out.push_back(e);
  return out;
}

void expectSameRun(const RunRecord &want, const RunRecord &got, int workers) {
  EXPECT_EQ(got.ok, want.ok) << workers;
  EXPECT_EQ(got.bytes.size(), want.bytes.size()) << workers;
  EXPECT_TRUE(got.bytes == want.bytes) << workers;
  EXPECT_EQ(got.names, want.names) << workers;
  EXPECT_EQ(got.progress, want.progress) << workers;
  EXPECT_EQ(got.log, want.log) << workers;
}
}  // namespace

TEST(SimpleArchiveWorkers, AnyNumberOfWorkersGivesTheSameRun) {
  for (bool encrypted : {false, true}) {
    PayloadBytes p = manyChunks(encrypted);
    RunRecord alone = dryRun(p, 1, encrypted ? "pw" : "");
    ASSERT_TRUE(alone.ok) << ::testing::PrintToString(alone.log);
    EXPECT_TRUE(alone.bytes == largeContents() + "only chunkfirst,second") << encrypted;
    EXPECT_EQ(alone.names, (std::vector<std::string>{"dir", "dir\\large.bin", "one.txt", "two.txt", "empty"}));
    for (int workers : {2, 8}) expectSameRun(alone, dryRun(p, workers, encrypted ? "pw" : ""), workers);
  }
}

// A system that gives no thread, or fewer than asked, leaves the run as it is without workers.
TEST(SimpleArchiveWorkers, ThreadsTheSystemRefusesLeaveTheRunAsItIs) {
  std::vector<uint32_t> crcs = {zlibCrc(largeContents()), zlibCrc("only chunk"), zlibCrc("first,second"), 0};
  PayloadBytes p = manyChunks(false, -1, -1, &crcs);
  RunRecord alone = dryRun(p, 1, "");
  ASSERT_TRUE(alone.ok) << ::testing::PrintToString(alone.log);
  for (int threads : {0, 1}) {
    limitThreadStartsForTesting(threads);
    RunRecord refused = dryRun(p, 8, "");
    limitThreadStartsForTesting(-1);
    expectSameRun(alone, refused, threads);
  }
}

// The workers take the CRCs of what they decode; the verdicts stay those of a run without them.
TEST(SimpleArchiveWorkers, CheckValuesGiveTheSameVerdictsWithAnyNumberOfWorkers) {
  for (bool encrypted : {false, true}) {
    const std::string password = encrypted ? "pw" : "";
    std::vector<uint32_t> crcs = {zlibCrc(largeContents()), zlibCrc("only chunk"), zlibCrc("first,second"), 0};
    PayloadBytes good = manyChunks(encrypted, -1, -1, &crcs);
    RunRecord alone = dryRun(good, 1, password);
    ASSERT_TRUE(alone.ok) << ::testing::PrintToString(alone.log);
    EXPECT_EQ(alone.names.size(), 5u);
    for (int workers : {2, 8}) expectSameRun(alone, dryRun(good, workers, password), workers);

    crcs[0] ^= 0x100;
    PayloadBytes wrong = manyChunks(encrypted, -1, -1, &crcs);
    RunRecord mismatch = dryRun(wrong, 1, password);
    EXPECT_FALSE(mismatch.ok);
    ASSERT_FALSE(errorsOf(mismatch.log).empty());
    EXPECT_EQ(errorsOf(mismatch.log).back(), "error:Checksum mismatch: dir\\large.bin");
    for (int workers : {2, 8}) expectSameRun(mismatch, dryRun(wrong, workers, password), workers);
  }
}

TEST(SimpleArchiveWorkers, ACorruptChunkFailsTheFileWithTheSameMessagesAndNothingAfterIt) {
  for (bool encrypted : {false, true}) {
    PayloadBytes p = manyChunks(encrypted, 14);
    RunRecord alone = dryRun(p, 1, encrypted ? "pw" : "");
    EXPECT_FALSE(alone.ok);
    ASSERT_FALSE(errorsOf(alone.log).empty());
    EXPECT_EQ(errorsOf(alone.log).back(), "error:Failed to inflate compressed data.");
    // Chunks 0 to 13 and no byte of anything later.
    EXPECT_EQ(alone.progress.size(), 1u + 14u);
    EXPECT_EQ(alone.bytes.substr(alone.bytes.size() - chunkText(13).size()), chunkText(13));
    for (int workers : {2, 8}) expectSameRun(alone, dryRun(p, workers, encrypted ? "pw" : ""), workers);
  }
}

TEST(SimpleArchiveWorkers, AReadFailureAheadIsReportedAfterTheChunksBeforeIt) {
  PayloadBytes cut = manyChunks(false, -1, 17);
  RunRecord alone = dryRun(cut, 1);
  EXPECT_FALSE(alone.ok);
  EXPECT_EQ(errorsOf(alone.log).back(), "error:Failed to read compressed data.");
  EXPECT_EQ(alone.progress.size(), 1u + 17u);
  for (int workers : {2, 8}) expectSameRun(alone, dryRun(cut, workers), workers);

  // A corrupt chunk before the cut is the one reported.
  PayloadBytes both = manyChunks(false, 12, 17);
  RunRecord first = dryRun(both, 1);
  EXPECT_EQ(errorsOf(first.log).back(), "error:Failed to inflate compressed data.");
  for (int workers : {2, 8}) expectSameRun(first, dryRun(both, workers), workers);
}

TEST(SimpleArchiveWorkers, ASourceErrorAheadIsLoggedAfterTheChunksBeforeIt) {
  const uint64_t failAt = manyChunks(false).bytes.size() / 2 + 1000;
  RunRecord alone = dryRun(manyChunks(false), 1, "", failAt);
  EXPECT_FALSE(alone.ok);
  const std::vector<std::string> errors = errorsOf(alone.log);
  ASSERT_GE(errors.size(), 2u);
  EXPECT_EQ(errors[errors.size() - 2], "error:read error");
  EXPECT_EQ(errors.back(), "error:Failed to read compressed data.");
  for (int workers : {2, 8}) expectSameRun(alone, dryRun(manyChunks(false), workers, "", failAt), workers);

  // When a chunk before the error is corrupt, its failure is the only one reported.
  RunRecord corrupt = dryRun(manyChunks(false, 3), 1, "", failAt);
  EXPECT_EQ(errorsOf(corrupt.log).back(), "error:Failed to inflate compressed data.");
  EXPECT_EQ(std::count(corrupt.log.begin(), corrupt.log.end(), "error:read error"), 0);
  for (int workers : {2, 8}) expectSameRun(corrupt, dryRun(manyChunks(false, 3), workers, "", failAt), workers);
}

TEST(SimpleArchiveWorkers, TheSourceIsLeftJustPastTheEndEntry) {
  for (int workers : {1, 8}) {
    PayloadBytes p = manyChunks(false);
    const size_t end = p.bytes.size();
    p.raw("certificate table follows");
    MemoryArchive m(p.bytes);
    m.archive.setWorkerCount(workers);
    ASSERT_TRUE(m.openContainer());
    while (m.next() && !m.end) {
    }
    EXPECT_TRUE(m.end);
    EXPECT_EQ(m.source.getPosition(), int64_t(end)) << workers;
  }
}
