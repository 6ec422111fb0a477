#include "base/LogEntry2.h"

#include <cstring>
#include <new>

#include "base/ExtPtrArray.h"
#include "base/StringBuffer.h"

namespace {
StringBuffer *newString(const char *text) {
  auto *s = new (std::nothrow) StringBuffer;
  if (s != nullptr && !s->append(text)) {
    delete s;
    return nullptr;
  }
  return s;
}

bool needsCdata(const StringBuffer &text) {
  if (text.contains("<![CDATA[") && text.contains("]]>")) return false;
  return std::strpbrk(text.getText(), "\n\t&<>") != nullptr;
}

bool appendXmlText(StringBuffer &out, const StringBuffer &text) {
  if (!needsCdata(text)) return out.appendBuffer(text);
  // A "]]>" inside would end the section early: split it across two sections.
  StringBuffer safe;
  if (!safe.appendBuffer(text)) return false;
  safe.replaceAll("]]>", "]]]]><![CDATA[>");
  return out.append("<![CDATA[") && out.appendBuffer(safe) && out.append("]]>");
}

bool appendHtmlText(StringBuffer &out, const StringBuffer &text) {
  StringBuffer escaped;
  return escaped.appendBuffer(text) && escaped.encodeXmlEntities() && out.appendBuffer(escaped);
}
}  // namespace

LogEntry2::~LogEntry2() { freeContent(); }

void LogEntry2::freeContent() {
  delete m_name;
  delete m_value;
  if (m_children != nullptr) m_children->deleteAll();
  delete m_children;
  m_name = m_value = nullptr;
  m_children = nullptr;
}

bool LogEntry2::setContext(const char *name) {
  freeContent();
  m_kind = 'C';
  m_name = newString(name);
  m_children = new (std::nothrow) ExtPtrArray;
  return m_name != nullptr && m_children != nullptr;
}

bool LogEntry2::setData(const char *tag, const char *value) {
  freeContent();
  m_kind = 'T';
  m_name = newString(tag);
  m_value = newString(value);
  return m_name != nullptr && m_value != nullptr;
}

bool LogEntry2::setMessage(char kind, const char *text) {
  freeContent();
  m_kind = kind;
  m_value = newString(text);
  return m_value != nullptr;
}

int LogEntry2::getChildCount() const { return m_children ? m_children->getCount() : 0; }

LogEntry2 *LogEntry2::getChild(int index) const {
  return m_children ? static_cast<LogEntry2 *>(m_children->get(index)) : nullptr;
}

bool LogEntry2::appendChild(LogEntry2 *child) { return m_children != nullptr && m_children->append(child); }

void LogEntry2::deleteLastChild() {
  if (m_children != nullptr) delete m_children->pop();
}

bool LogEntry2::renderText(StringBuffer &out, uint32_t depth) const {
  uint32_t indent = 2 * depth;
  switch (m_kind) {
    case 'C': {
      if (m_name == nullptr || m_children == nullptr) return true;
      if (!out.appendCharN(' ', indent) || !out.appendBuffer(*m_name) || !out.append(":\r\n")) return false;
      for (int i = 0; i < getChildCount(); ++i) {
        if (!getChild(i)->renderText(out, depth + 1)) return false;
      }
      return out.appendCharN(' ', indent) && out.append("--") && out.appendBuffer(*m_name) &&
             out.append("\r\n");
    }
    case 'T':
      if (m_name == nullptr || m_value == nullptr) return true;
      return out.appendCharN(' ', indent) && out.appendBuffer(*m_name) && out.append(": ") &&
             out.appendBuffer(*m_value) && out.append("\r\n");
    default:
      if (m_value == nullptr) return true;
      return out.appendCharN(' ', indent) && out.appendBuffer(*m_value) && out.append("\r\n");
  }
}

bool LogEntry2::renderXml(StringBuffer &out, uint32_t depth) const {
  uint32_t indent = 2 * depth;
  switch (m_kind) {
    case 'C': {
      if (m_name == nullptr || m_children == nullptr) return true;
      if (!out.appendCharN(' ', indent) || !out.appendChar('<') || !out.appendBuffer(*m_name) ||
          !out.append(">\r\n")) {
        return false;
      }
      for (int i = 0; i < getChildCount(); ++i) {
        if (!getChild(i)->renderXml(out, depth + 1)) return false;
      }
      return out.appendCharN(' ', indent) && out.append("</") && out.appendBuffer(*m_name) &&
             out.append(">\r\n");
    }
    case 'T':
      if (m_name == nullptr || m_value == nullptr) return true;
      return out.appendCharN(' ', indent) && out.appendChar('<') && out.appendBuffer(*m_name) &&
             out.appendChar('>') && appendXmlText(out, *m_value) && out.append("</") &&
             out.appendBuffer(*m_name) && out.append(">\r\n");
    default: {
      if (m_value == nullptr) return true;
      const char *open = m_kind == 'E' ? "<error>" : m_kind == 'I' ? "<info>" : "";
      const char *close = m_kind == 'E' ? "</error>" : m_kind == 'I' ? "</info>" : "";
      return out.appendCharN(' ', indent) && out.append(open) && appendXmlText(out, *m_value) &&
             out.append(close) && out.append("\r\n");
    }
  }
}

bool LogEntry2::renderHtml(StringBuffer &out) const {
  switch (m_kind) {
    case 'C': {
      if (m_name == nullptr || m_children == nullptr) return true;
      if (!out.appendBuffer(*m_name) || !out.append(":<blockquote>\r\n")) return false;
      for (int i = 0; i < getChildCount(); ++i) {
        if (!getChild(i)->renderHtml(out)) return false;
      }
      return out.append("</blockquote>\r\n");
    }
    case 'T':
      if (m_name == nullptr || m_value == nullptr) return true;
      return out.appendBuffer(*m_name) && out.append(": ") && appendHtmlText(out, *m_value) &&
             out.append("<br>\r\n");
    default:
      if (m_value == nullptr) return true;
      return appendHtmlText(out, *m_value) && out.append("<br>\r\n");
  }
}
