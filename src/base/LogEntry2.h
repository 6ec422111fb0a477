#pragma once

#include <cstdint>

#include "base/QuorvelObject.h"

class ExtPtrArray;
class StringBuffer;

// One node of the log tree: a context ('C') with children, a tagged data item ('T'), or an
// error ('E'), info ('I') or plain text ('X') line. A new node is an empty info line.
class LogEntry2 : public QuorvelObject {
 public:
  LogEntry2() = default;
  LogEntry2(const LogEntry2 &) = delete;
  LogEntry2 &operator=(const LogEntry2 &) = delete;
  ~LogEntry2() override;

  // Each setter frees what the node held and sets its kind; false when memory runs out.
  bool setContext(const char *name);
  bool setData(const char *tag, const char *value);
  bool setMessage(char kind, const char *text);

  char getKind() const { return m_kind; }
  const StringBuffer *getName() const { return m_name; }
  const StringBuffer *getValue() const { return m_value; }
  int getChildCount() const;
  LogEntry2 *getChild(int index) const;
  // The node takes ownership of the child on success.
  bool appendChild(LogEntry2 *child);
  void deleteLastChild();

  // Plain text with two spaces of indent per level and CR LF line ends.
  bool renderText(StringBuffer &out, uint32_t depth) const;
  // Tags for errors, infos and data items; values that would break the markup go in CDATA.
  bool renderXml(StringBuffer &out, uint32_t depth) const;
  bool renderHtml(StringBuffer &out) const;

 private:
  void freeContent();

  char m_kind = 'I';
  StringBuffer *m_name = nullptr;
  StringBuffer *m_value = nullptr;
  ExtPtrArray *m_children = nullptr;
};
