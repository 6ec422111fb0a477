#include "base/ErrorLog.h"

#include <new>

#include "base/LogEntry2.h"

ErrorLog::ErrorLog() { makeRoot(); }

ErrorLog::~ErrorLog() { delete m_root; }

void ErrorLog::makeRoot() {
  m_root = new (std::nothrow) LogEntry2;
  if (m_root != nullptr && m_root->setContext("QuorvelLog") && m_contextStack.append(m_root)) return;
  delete m_root;
  m_root = nullptr;
}

LogEntry2 *ErrorLog::acceptingContext() const {
  auto *current = static_cast<LogEntry2 *>(m_contextStack.last());
  if (current == nullptr || current->getChildCount() >= kMaxChildren) return nullptr;
  return current;
}

// Appends an entry that was made, deleting it when it is not wanted or could not be filled.
void ErrorLog::addChild(LogEntry2 *entry, bool ok) {
  LogEntry2 *context = acceptingContext();
  if (entry != nullptr && (!ok || context == nullptr || !context->appendChild(entry))) delete entry;
}

void ErrorLog::addMessage(char kind, const char *text) {
  if (acceptingContext() == nullptr) return;
  auto *entry = new (std::nothrow) LogEntry2;
  addChild(entry, entry != nullptr && entry->setMessage(kind, text));
}

void ErrorLog::addData(const char *tag, const char *value) {
  if (acceptingContext() == nullptr) return;
  auto *entry = new (std::nothrow) LogEntry2;
  addChild(entry, entry != nullptr && entry->setData(tag, value));
}

void ErrorLog::enterContext(const char *name) {
  LogEntry2 *parent = acceptingContext();
  auto *entry = parent ? new (std::nothrow) LogEntry2 : nullptr;
  if (entry == nullptr || !entry->setContext(name) || !parent->appendChild(entry)) {
    delete entry;
    ++m_refusedContexts;
    return;
  }
  if (!m_contextStack.append(entry)) {
    parent->deleteLastChild();
    ++m_refusedContexts;
  }
}

void ErrorLog::leaveContext() {
  // The leave that matches a refused enter must not close the context around it.
  if (m_refusedContexts > 0) {
    --m_refusedContexts;
    return;
  }
  if (m_contextStack.getCount() <= 1) return;
  m_contextStack.pop();
  if (m_contextStack.getCount() <= 1) return;
  auto *current = static_cast<LogEntry2 *>(m_contextStack.last());
  LogEntry2 *last = current->getChild(current->getChildCount() - 1);
  if (last != nullptr && last->getKind() == 'C' && last->getChildCount() == 0) current->deleteLastChild();
}

void ErrorLog::clear() {
  m_contextStack.clear();
  m_refusedContexts = 0;
  delete m_root;
  makeRoot();
}
