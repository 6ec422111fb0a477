#pragma once

#include "base/ExtPtrArray.h"

class LogEntry2;

// Owns the log tree and the stack of open contexts. Entries go to the innermost open context;
// a context takes at most kMaxChildren children, so that a runaway loop cannot eat the memory.
class ErrorLog {
 public:
  static constexpr int kMaxChildren = 10000;

  ErrorLog();
  ErrorLog(const ErrorLog &) = delete;
  ErrorLog &operator=(const ErrorLog &) = delete;
  ~ErrorLog();

  // kind is 'E', 'I' or 'X'.
  void addMessage(char kind, const char *text);
  void addData(const char *tag, const char *value);
  void enterContext(const char *name);
  // A context that recorded nothing is dropped when it is left, except directly under the root.
  void leaveContext();
  void clear();

  // The "QuorvelLog" root, or null when it could not be made.
  const LogEntry2 *getRoot() const { return m_root; }

 private:
  LogEntry2 *acceptingContext() const;
  void addChild(LogEntry2 *entry, bool ok);
  void makeRoot();

  LogEntry2 *m_root = nullptr;
  ExtPtrArray m_contextStack;  // not owning: the root owns the tree
  int m_refusedContexts = 0;   // enters refused at the limit whose leaves are still to come
};
