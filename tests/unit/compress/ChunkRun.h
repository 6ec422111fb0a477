// Runs one chunk through a ChunkInflater into a sink that records every write, either the
// fast way or, with a progress monitor to consult, through the resumable decoder, so that the
// two can be compared in every detail a caller sees. Used by the unit tests and the inflate fuzzer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "RecordingLog.h"
#include "compress/ChunkInflater.h"
#include "compress/Output.h"
#include "compress/ProgressMonitor.h"

class RecordingOutput : public Output {
 public:
  // Refuses write number `failAt` (counted from 0), like a disk that fills up; -1 never.
  explicit RecordingOutput(int failAt = -1) : m_failAt(failAt) {}
  bool rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *, LogBase &log) override {
    ++calls;
    if (int(writes.size()) == m_failAt) {
      log.logError("disk full");
      return false;
    }
    writes.push_back(length);
    bytes.insert(bytes.end(), data, data + length);
    return true;
  }

  std::vector<uint32_t> writes;
  std::vector<uint8_t> bytes;
  int calls = 0;

 private:
  int m_failAt;
};

struct ChunkRun {
  bool ok;
  std::vector<std::string> log;
  std::vector<uint32_t> writes;
  std::vector<uint8_t> bytes;
  uint64_t produced;
  int calls;

  bool operator==(const ChunkRun &o) const {
    return ok == o.ok && log == o.log && writes == o.writes && bytes == o.bytes && produced == o.produced &&
           calls == o.calls;
  }
};

enum class Path { kFast, kCareful };

inline ChunkRun runChunk(ChunkInflater &inflater, const std::vector<uint8_t> &stream, Path path,
                         int failAt = -1) {
  RecordingOutput out(failAt);
  RecordingLog log;
  ProgressMonitor monitor;
  bool ok = inflater.inflate(stream.data(), uint32_t(stream.size()), out,
                             path == Path::kCareful ? &monitor : nullptr, log);
  return ChunkRun{ok, log.entries, out.writes, out.bytes, inflater.produced(), out.calls};
}
