#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "PayloadBytes.h"
#include "archive/SimpleArchive.h"
#include "compress/MemoryDataSource.h"
#include "compress/Output.h"
#include "compress/SaProgress.h"

// Keeps everything a dry run writes.
class StringOutput : public Output {
 public:
  bool rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *, LogBase &) override {
    text.append(reinterpret_cast<const char *>(data), length);
    return true;
  }
  std::string text;
};

class RecordingProgress : public SaProgress {
 public:
  void progress(uint32_t consumed, uint32_t produced) override { calls.emplace_back(consumed, produced); }
  std::vector<std::pair<uint32_t, uint32_t>> calls;
};

// An archive reading a payload held in memory.
struct MemoryArchive {
  explicit MemoryArchive(std::vector<uint8_t> payload) : bytes(std::move(payload)) {
    source.setData(bytes.data(), bytes.size());
    archive.setSource(&source);
    archive.setDryRunSink(&sink);
  }
  // Marker, header and named values; false when any of them fails.
  bool openContainer() {
    LogNull log;
    StringBuffer error;
    return archive.findMarker(log, nullptr) && archive.readInternalHeader(error, log, nullptr) &&
           archive.readInternalArgs(log, nullptr);
  }
  // One dry-run entry; the outputs land in the fields below.
  bool next(LogBase &log) {
    return archive.unzipNextEntry(true, end, &progress, name, isDirectory, nullptr, skipped, nullptr, log);
  }
  bool next() {
    LogNull log;
    return next(log);
  }

  std::vector<uint8_t> bytes;
  MemoryDataSource source;
  SimpleArchive archive;
  StringOutput sink;
  RecordingProgress progress;
  StringBuffer name;
  bool end = false;
  bool isDirectory = false;
  bool skipped = false;
};
