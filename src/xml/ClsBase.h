#pragma once

#include "base/Logger.h"
#include "base/QuorvelObject.h"

class XString;

// What every API object offers its caller: its log, in three renderings, and the verbose switch.
class ClsBaseI {
 public:
  virtual ~ClsBaseI() = default;

  virtual bool getVerbose() const = 0;
  virtual void setVerbose(bool verbose) = 0;
  virtual void getLogFilePath(XString &out) = 0;
  virtual void setLogFilePath(const XString &path) = 0;
  virtual void getLogText(XString &out) = 0;
  virtual void getLogXml(XString &out) = 0;
  virtual void getLogHtml(XString &out) = 0;
  virtual bool saveLogXml(const XString &path) = 0;
  virtual void logException(const XString &what) = 0;
  virtual void logMethodError(const char *methodName, const char *errorText) = 0;
};

// Base of the API objects (the XML object): owns their Logger and opens each logged operation
// with a context that says which build, user and machine ran it.
class ClsBase : public ClsBaseI, public QuorvelObject {
 public:
  ClsBase() = default;
  ClsBase(const ClsBase &) = delete;
  ClsBase &operator=(const ClsBase &) = delete;
  ~ClsBase() override = default;

  bool getVerbose() const override { return m_verbose; }
  void setVerbose(bool verbose) override;
  void getLogFilePath(XString &out) override;
  void setLogFilePath(const XString &path) override;
  void getLogText(XString &out) override;
  void getLogXml(XString &out) override;
  void getLogHtml(XString &out) override;
  // The path is trimmed; an empty one is refused.
  bool saveLogXml(const XString &path) override;
  void logException(const XString &what) override;
  void logMethodError(const char *methodName, const char *errorText) override;

  // Clears the log and opens the context `methodName`; the operation leaves it when it ends.
  void methodEntryLog(const char *methodName);

 protected:
  Logger m_log;
  bool m_verbose = false;
};
