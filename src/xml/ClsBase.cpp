#include "xml/ClsBase.h"

#include <cstdint>
#include <cstring>

#include "base/StringBuffer.h"
#include "base/XString.h"
#include "platform/win32.h"

namespace {
const char kBuildDate[] = "Dec  8 2026";
const char kVersion[] = "1.0.0";
const char kDefaultComputerName[] = "UNKNOWN";
#ifdef _WIN32
const char kLanguage[] = "C++ (Windows)";
#else
const char kLanguage[] = "C++ (Linux)";
#endif

// Asked of the system once per process: they do not change while it runs.
const XString &computerName() {
  static XString name;
  static bool made = false;
  if (!made) {
    made = true;
    char16_t buffer[256] = {};
    DWORD size = 255;
    if (GetComputerNameW(reinterpret_cast<LPWSTR>(buffer), &size)) {
      name.setUtf16(buffer);
    } else {
      name.setUtf8(kDefaultComputerName);
    }
  }
  return name;
}

const StringBuffer &userName() {
  static StringBuffer name;
  static bool made = false;
  if (!made) {
    made = true;
    char buffer[257] = {};
    DWORD size = 256;
    if (GetUserNameA(buffer, &size)) {
      XString ansi;
      ansi.setAnsi(buffer);
      name.setString(ansi.getUtf8());
    }
  }
  return name;
}

bool isLittleEndian() {
  const uint16_t probe = 1;
  uint8_t first;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}
}  // namespace

void ClsBase::setVerbose(bool verbose) {
  m_verbose = verbose;
  m_log.m_verbose = verbose;
}

void ClsBase::getLogFilePath(XString &out) { m_log.getLogFilePath(out); }

void ClsBase::setLogFilePath(const XString &path) { m_log.setLogFilePath(path.getUtf8()); }

// The log holds UTF-8 (names and paths are logged in that form), so it is handed over as such.
void ClsBase::getLogText(XString &out) {
  StringBuffer text;
  m_log.copyLogText(text);
  out.setUtf8(text.getText(), text.getSize());
}

void ClsBase::getLogXml(XString &out) {
  StringBuffer text;
  m_log.copyLogXml(text);
  out.setUtf8(text.getText(), text.getSize());
}

void ClsBase::getLogHtml(XString &out) {
  StringBuffer text;
  m_log.copyLogHtml(text);
  out.setUtf8(text.getText(), text.getSize());
}

bool ClsBase::saveLogXml(const XString &path) {
  XString trimmed;
  trimmed.copyFrom(path);
  trimmed.trim();
  if (trimmed.isEmpty()) return false;
  return m_log.saveLogXml(trimmed.getUtf8());
}

void ClsBase::logException(const XString &what) { m_log.logData("Exception", what); }

void ClsBase::logMethodError(const char *methodName, const char *errorText) {
  methodEntryLog(methodName);
  m_log.logError(errorText);
  m_log.leaveContext();
}

void ClsBase::methodEntryLog(const char *methodName) {
  m_log.clearLog();
  m_log.enterContext(methodName, true);
  m_log.logData("DllDate", kBuildDate);
  m_log.logData("QuorvelVersion", kVersion);

  StringBuffer user;
  if (!computerName().isEmpty()) {
    user.append(computerName().getUtf8());
    user.appendChar(':');
  }
  user.appendBuffer(userName());
  m_log.logData("Username", user.getText());

  StringBuffer architecture(isLittleEndian() ? "Little Endian; " : "Big Endian; ");
  architecture.append(sizeof(void *) == 8 ? "64-bit" : "32-bit");
  m_log.logData("Architecture", architecture.getText());
  m_log.logData("Language", kLanguage);
  m_log.logDataInt("VerboseLogging", m_verbose ? 1 : 0);
}
