#pragma once

#include "base/DataBuffer.h"
#include "base/LogBase.h"

// Holds back what an operation logs so that it can be passed on later, in the same order, after
// messages that must come first: the reader runs ahead of the writer, and a read failure must
// not be reported before the chunks read ahead of it have been written and reported.
class DeferredLog : public LogBase {
 public:
  explicit DeferredLog(const LogBase &target) { m_verbose = target.m_verbose; }

  bool logError(const char *text) override { return record(kError, text, ""); }
  bool logInfo(const char *text) override { return record(kInfo, text, ""); }
  bool logText(const char *text) override { return record(kText, text, ""); }
  bool enterContext(const char *name, bool) override { return record(kEnter, name, ""); }
  bool leaveContext() override { return record(kLeave, "", ""); }
  bool logData(const char *tag, const char *value) override { return record(kData, tag, value); }
  using LogBase::logData;

  bool isEmpty() const { return m_records.getSize() == 0 && !m_lost; }
  // Writes everything held into `target` and forgets it.
  void passOn(LogBase &target);

 private:
  enum Kind : uint8_t { kError = 1, kInfo, kText, kEnter, kLeave, kData };
  bool record(Kind kind, const char *first, const char *second);

  // Each record: its kind, then two NUL-terminated texts.
  DataBuffer m_records;
  // A record could not be held for want of memory.
  bool m_lost = false;
};
