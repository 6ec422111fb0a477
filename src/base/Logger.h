#pragma once

#include <cstdint>

#include "base/ErrorLog.h"
#include "base/LogBase.h"
#include "base/QuorvelCritSec.h"

class XString;

// The working log: collects a tree in memory (see ErrorLog) and, when an echo file is set,
// appends every entry to it as it arrives, so that a run that dies still leaves its trace.
class Logger : public LogBase {
 public:
  Logger() = default;
  Logger(const Logger &) = delete;
  Logger &operator=(const Logger &) = delete;
  ~Logger() override;

  void copyLogXml(StringBuffer &out) override;
  void copyLogHtml(StringBuffer &out) override;
  void copyLogText(StringBuffer &out) override;
  bool saveLogXml(const char *path) override;
  bool logError(const char *text) override;
  bool logInfo(const char *text) override;
  bool logText(const char *text) override;
  bool clearLog() override;
  bool enterContext(const char *name, bool flag = true) override;
  bool leaveContext() override;
  // The tag is trimmed and its spaces become "_"; an empty tag is refused.
  bool logData(const char *tag, const char *value) override;
  using LogBase::logData;

  // An empty or null path stops the echo.
  void setLogFilePath(const char *utf8Path);
  void getLogFilePath(XString &out);

 private:
  void echo(const char *format, const char *a, const char *b = "", const char *c = "");

  QuorvelCritSec m_critSec;
  ErrorLog m_log;
  int m_echoDepth = 0;
  XString *m_echoPath = nullptr;
};
