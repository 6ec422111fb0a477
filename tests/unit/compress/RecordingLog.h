#pragma once

#include <string>
#include <vector>

#include "base/LogBase.h"

// Remembers every error and named value in the order written, as "error:TEXT" and "TAG=VALUE".
class RecordingLog : public LogBase {
 public:
  bool logError(const char *text) override {
    entries.push_back(std::string("error:") + text);
    return true;
  }
  bool logInfo(const char *text) override {
    entries.push_back(std::string("info:") + text);
    return true;
  }
  bool logData(const char *tag, const char *value) override {
    entries.push_back(std::string(tag) + "=" + value);
    return true;
  }
  using LogBase::logData;

  bool has(const std::string &entry) const {
    for (const auto &e : entries)
      if (e == entry) return true;
    return false;
  }

  std::vector<std::string> entries;
};
