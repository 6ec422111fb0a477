#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "RecordingLog.h"
#include "base/DataBuffer.h"
#include "compress/OutputDataBuffer.h"
#include "compress/ProgressMonitor.h"

namespace {
std::string text(const DataBuffer &b) {
  return std::string(reinterpret_cast<const char *>(b.getData()), b.getSize());
}

// Records every percentage and answers each with `abortAnswer`.
class RecordingCallback : public ProgressCallback {
 public:
  explicit RecordingCallback(bool abortAnswer) : m_abortAnswer(abortAnswer) {}
  void percentDone(uint32_t percent, bool &abort) override {
    reported.push_back(percent);
    abort = m_abortAnswer;
  }
  std::vector<uint32_t> reported;

 private:
  bool m_abortAnswer;
};
}  // namespace

TEST(Output, BaseCountsAndDiscardsAndKeepsAdler) {
  Output sink;
  LogNull log;
  EXPECT_TRUE(sink.write(nullptr, 5, nullptr, log));
  EXPECT_TRUE(sink.write("abc", 0, nullptr, log));
  EXPECT_EQ(sink.totalWritten(), 0u);
  sink.setAdlerOn(true);
  EXPECT_TRUE(sink.write("hello", 5, nullptr, log));
  EXPECT_EQ(sink.totalWritten(), 5u);
  EXPECT_EQ(sink.adler32(), 0x062C0215u);  // zlib.adler32(b"hello")
}

TEST(Output, MonitorAbortStopsTheNextWrite) {
  RecordingCallback callback(true);
  ProgressMonitor monitor(&callback);
  monitor.start(100);
  Output sink;
  sink.setReportByteCounts(true);
  RecordingLog log;
  EXPECT_FALSE(sink.write("0123456789", 10, &monitor, log));
  EXPECT_TRUE(log.has("error:Output aborted by application callback."));
  EXPECT_EQ(callback.reported, std::vector<uint32_t>{10});
  EXPECT_TRUE(monitor.aborted());
  EXPECT_TRUE(monitor.abortCheck());
}

TEST(ProgressMonitor, PercentArithmetic) {
  EXPECT_EQ(ProgressMonitor::percentOf(1500000000LL, 3000000000LL), 50u);
  EXPECT_EQ(ProgressMonitor::percentOf(5, 0), 100u);
  EXPECT_EQ(ProgressMonitor::percentOf(1, 3), 33u);
  EXPECT_EQ(ProgressMonitor::percentOf(999999, 1000000), 99u);
}

TEST(ProgressMonitor, ReportsRisingPercentagesAndWithholds100UntilFinish) {
  RecordingCallback callback(false);
  ProgressMonitor monitor(&callback);
  monitor.setWithhold100(true);
  monitor.start(-5);
  EXPECT_EQ(monitor.total(), 0);
  monitor.start(200);
  EXPECT_FALSE(monitor.consume(-3));
  EXPECT_FALSE(monitor.consume(1));     // 0 %: nothing to report
  EXPECT_FALSE(monitor.consume(99));    // 50 %
  EXPECT_FALSE(monitor.consume(1000));  // capped at the total: 100 %, withheld
  EXPECT_EQ(monitor.done(), 200);
  EXPECT_EQ(callback.reported, (std::vector<uint32_t>{50}));
  monitor.finish();
  EXPECT_EQ(callback.reported, (std::vector<uint32_t>{50, 100}));

  bool abort = true;
  monitor.start(10);
  monitor.setDone(7, abort);
  EXPECT_FALSE(abort);
  EXPECT_EQ(callback.reported.back(), 70u);
}

TEST(OutputDataBuffer, AppendsSeeksAndFillsGaps) {
  DataBuffer target;
  target.append("ab", 2);
  OutputDataBuffer sink(&target);
  LogNull log;
  EXPECT_EQ(sink.position(), 2);
  EXPECT_TRUE(sink.write("cdef", 4, nullptr, log));
  EXPECT_EQ(text(target), "abcdef");
  EXPECT_TRUE(sink.seek(1, log));
  EXPECT_TRUE(sink.write("XY", 2, nullptr, log));
  EXPECT_EQ(text(target), "aXYdef");
  EXPECT_TRUE(sink.seek(4, log));
  EXPECT_TRUE(sink.write("123", 3, nullptr, log));
  EXPECT_EQ(text(target), "aXYd123");
  EXPECT_TRUE(sink.seek(9, log));
  EXPECT_TRUE(sink.write("!", 1, nullptr, log));
  EXPECT_EQ(text(target), std::string("aXYd123\0\0!", 10));
  EXPECT_TRUE(sink.moveToEnd(log));
  EXPECT_EQ(sink.position(), 10);
  EXPECT_FALSE(sink.seek(0x100000000ULL, log));
  EXPECT_TRUE(sink.reset(log));
  EXPECT_EQ(target.getSize(), 0u);
  EXPECT_EQ(sink.position(), 0);
}

TEST(OutputDataBuffer, WithoutTargetEveryOperationFails) {
  OutputDataBuffer sink(nullptr);
  LogNull log;
  EXPECT_FALSE(sink.write("a", 1, nullptr, log));
  EXPECT_FALSE(sink.moveToEnd(log));
  EXPECT_FALSE(sink.seek(0, log));
  EXPECT_EQ(sink.position(), 0);
}
