#include <gtest/gtest.h>

#include <vector>

#include "RecordingLog.h"
#include "compress/MemoryDataSource.h"
#include "compress/ProgressMonitor.h"

namespace {
class AlwaysAbort : public ProgressCallback {
 public:
  void abortCheck(bool &abort) override { abort = true; }
};
}  // namespace

TEST(MemoryDataSource, ReadsToTheEndThenReportsIt) {
  const uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  MemoryDataSource source;
  source.setData(data, sizeof data);
  uint8_t buffer[16];
  uint32_t count = 99;
  bool end = false;
  LogNull log;
  EXPECT_TRUE(source.readSource(buffer, 16, count, end, nullptr, log));
  EXPECT_EQ(count, 10u);
  EXPECT_TRUE(end);
  EXPECT_TRUE(source.readSource(buffer, 16, count, end, nullptr, log));
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(end);
  EXPECT_EQ(source.totalRead(), 10u);
  EXPECT_FALSE(source.readBytes(nullptr, 4, count, end, nullptr, log));
  EXPECT_FALSE(source.readBytes(buffer, 0, count, end, nullptr, log));
}

TEST(MemoryDataSource, SeeksClampAndSkipsStopAtTheEnd) {
  std::vector<uint8_t> data(25000, 7);
  MemoryDataSource source;
  source.setData(data.data(), data.size());
  LogNull log;
  EXPECT_TRUE(source.seekRelative(-5, log));
  EXPECT_EQ(source.getPosition(), 0);
  EXPECT_TRUE(source.seekAbsolute(30000, log));
  EXPECT_EQ(source.getPosition(), 25000);
  EXPECT_TRUE(source.endOfStream());
  source.rewind();
  EXPECT_TRUE(source.skipBytes(30000, nullptr, log));
  EXPECT_EQ(source.getPosition(), 25000);
}

TEST(MemoryDataSource, ScanFindsLittleEndianValue) {
  const uint8_t data[] = {9, 9, 0x78, 0x56, 0x34, 0x12, 5, 0x78, 0x56, 0x34, 0x12};
  MemoryDataSource source;
  source.setData(data, sizeof data);
  LogNull log;
  EXPECT_TRUE(source.scanForUint32(0x12345678, log));
  EXPECT_EQ(source.getPosition(), 6);
  EXPECT_TRUE(source.scanForUint32(0x12345678, log));
  EXPECT_EQ(source.getPosition(), 11);
  source.rewind();
  EXPECT_FALSE(source.scanForUint32(0xDEADBEEF, log));
  EXPECT_EQ(source.getPosition(), 11);
}

TEST(MemoryDataSource, ReadingTheWholeDataIntoItselfCopiesNothing) {
  uint8_t data[4] = {1, 2, 3, 4};
  MemoryDataSource source;
  source.setData(data, sizeof data);
  uint32_t count = 0;
  bool end = false;
  LogNull log;
  EXPECT_TRUE(source.readBytes(data, 4, count, end, nullptr, log));
  EXPECT_EQ(count, 4u);
  EXPECT_FALSE(source.readBytes(data, 4, count, end, nullptr, log));
}

TEST(DataSource, MonitorAbortFailsTheReadButKeepsTheBytes) {
  const uint8_t data[3] = {1, 2, 3};
  MemoryDataSource source;
  source.setData(data, sizeof data);
  AlwaysAbort callback;
  ProgressMonitor monitor(&callback);
  monitor.setHeartbeatMs(1);
  uint8_t buffer[3] = {};
  uint32_t count = 0;
  RecordingLog log;
  // The heartbeat is timed from tick 0, so the first check already asks the callback.
  EXPECT_FALSE(source.readSource(buffer, 3, count, &monitor, log));
  EXPECT_TRUE(log.has("error:Source read aborted by application callback."));
  EXPECT_EQ(source.totalRead(), 3u);
  EXPECT_EQ(buffer[2], 3);

  DataSource empty;
  EXPECT_TRUE(empty.readSource(buffer, 3, count, nullptr, log));
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(empty.seekAbsolute(0, log));
}
