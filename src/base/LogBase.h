#pragma once

#include <cstdint>

class StringBuffer;
class XString;

// The logging interface passed as the last argument of nearly every operation. Its own
// operations do nothing, so that a plain LogBase (or LogNull) doubles as a log that discards.
class LogBase {
 public:
  virtual ~LogBase() = default;

  virtual void copyLogXml(StringBuffer &out);
  virtual void copyLogHtml(StringBuffer &out);
  virtual void copyLogText(StringBuffer &out);
  virtual bool saveLogXml(const char *path);
  virtual bool logError(const char *text);
  virtual bool logInfo(const char *text);
  virtual bool logText(const char *text);
  virtual bool clearLog();
  // The flag is accepted for callers' symmetry and not used.
  virtual bool enterContext(const char *name, bool flag = true);
  virtual bool leaveContext();
  virtual bool logData(const char *tag, const char *value);

  bool logDataInt(const char *tag, int64_t n);
  bool logDataInt64(const char *tag, int64_t n);
  bool logDataHex(const char *tag, uint32_t n);
  bool logWindowsError(uint32_t code);
  bool logLastWindowsError();
  bool logMemoryFailure(int failurePoint, uint64_t numBytes);
  bool logDataHexBytes(const char *tag, const void *bytes, uint32_t count);
  bool logData(const char *tag, const StringBuffer &value);
  bool logData(const char *tag, const XString &value);

  bool m_verbose = false;
};

// A log that is thrown away.
class LogNull : public LogBase {
 public:
  ~LogNull() override = default;
};

// Opens a context on construction and leaves it on every exit path.
class LogContextExitor {
 public:
  LogContextExitor(LogBase &log, const char *name) : m_log(log) { m_log.enterContext(name, true); }
  ~LogContextExitor() { m_log.leaveContext(); }
  LogContextExitor(const LogContextExitor &) = delete;
  LogContextExitor &operator=(const LogContextExitor &) = delete;

 private:
  LogBase &m_log;
};
