#include "base/Logger.h"

#include <cstdio>
#include <new>

#include "base/LogEntry2.h"
#include "base/StringBuffer.h"
#include "base/WriteEntireFile.h"
#include "base/XString.h"

Logger::~Logger() { delete m_echoPath; }

// One line to the echo file, which is opened and closed around it: nothing is lost when the
// process dies right after. A file that cannot be opened skips the line.
void Logger::echo(const char *format, const char *a, const char *b, const char *c) {
  if (m_echoPath == nullptr) return;
  std::FILE *file = std::fopen(m_echoPath->getAnsi(), "a");
  if (file == nullptr) return;
  StringBuffer indent;
  indent.appendCharN(' ', 4 * uint32_t(m_echoDepth));
  std::fprintf(file, format, indent.getText(), a, b, c);
  std::fclose(file);
}

void Logger::copyLogXml(StringBuffer &out) {
  CritSecExitor lock(m_critSec);
  out.clear();
  if (m_log.getRoot()) m_log.getRoot()->renderXml(out, 0);
}

void Logger::copyLogHtml(StringBuffer &out) {
  CritSecExitor lock(m_critSec);
  out.clear();
  if (m_log.getRoot()) m_log.getRoot()->renderHtml(out);
}

void Logger::copyLogText(StringBuffer &out) {
  CritSecExitor lock(m_critSec);
  out.clear();
  if (m_log.getRoot()) m_log.getRoot()->renderText(out, 0);
}

bool Logger::saveLogXml(const char *path) {
  StringBuffer xml;
  copyLogXml(xml);
  LogNull quiet;
  return writeEntireFile(path, xml.getText(), xml.getSize(), quiet);
}

bool Logger::logError(const char *text) {
  CritSecExitor lock(m_critSec);
  if (text == nullptr) return true;
  m_log.addMessage('E', text);
  echo("%s%s\n", text);
  return true;
}

bool Logger::logInfo(const char *text) {
  CritSecExitor lock(m_critSec);
  if (text == nullptr) return true;
  m_log.addMessage('I', text);
  echo("%s%s\n", text);
  return true;
}

bool Logger::logText(const char *text) {
  CritSecExitor lock(m_critSec);
  if (text != nullptr) m_log.addMessage('X', text);
  return true;
}

bool Logger::clearLog() {
  CritSecExitor lock(m_critSec);
  m_log.clear();
  m_echoDepth = 0;
  return true;
}

bool Logger::enterContext(const char *name, bool) {
  CritSecExitor lock(m_critSec);
  const char *contextName = name ? name : "";
  m_log.enterContext(contextName);
  echo("%s%s:\n", contextName);
  ++m_echoDepth;
  return true;
}

bool Logger::leaveContext() {
  CritSecExitor lock(m_critSec);
  m_log.leaveContext();
  echo("%s(leaveContext)\n", "");
  if (m_echoDepth > 0) --m_echoDepth;
  return true;
}

bool Logger::logData(const char *tag, const char *value) {
  CritSecExitor lock(m_critSec);
  StringBuffer cleanTag(tag);
  cleanTag.trim();
  if (cleanTag.isEmpty()) return false;
  cleanTag.replaceCharBytes(' ', '_');
  const char *text = value ? value : "(NULL)";
  m_log.addData(cleanTag.getText(), text);
  echo("%s%s: %s\n", cleanTag.getText(), text);
  return true;
}

void Logger::setLogFilePath(const char *utf8Path) {
  CritSecExitor lock(m_critSec);
  if (utf8Path == nullptr || *utf8Path == 0) {
    delete m_echoPath;
    m_echoPath = nullptr;
    return;
  }
  if (m_echoPath == nullptr) m_echoPath = new (std::nothrow) XString;
  if (m_echoPath != nullptr) m_echoPath->setUtf8(utf8Path);
}

void Logger::getLogFilePath(XString &out) {
  CritSecExitor lock(m_critSec);
  out.clear();
  if (m_echoPath != nullptr) out.copyFrom(*m_echoPath);
}
