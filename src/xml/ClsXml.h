#pragma once

#include <cstdint>

#include "base/QuorvelCritSec.h"
#include "base/StringBuffer.h"
#include "xml/ClsBase.h"

class TreeNode;
class XString;

// An XML document held through one of its elements (the root, here). The settings store of
// the application: filled with defaults, replaced by a parsed document, read and written by child
// tag, and written back as text. Loading, writing and destruction hold the object's lock.
class ClsXml : public ClsBase, public QuorvelCritSec {
 public:
  // A document whose root is tagged "unnamed".
  ClsXml();
  ClsXml(const ClsXml &) = delete;
  ClsXml &operator=(const ClsXml &) = delete;
  ~ClsXml() override;

  bool SetTag(const char *tag);
  // Declares the document's encoding, creating the declaration (version 1.0) when there is none.
  bool SetEncoding(const char *name);

  // The first child tagged exactly `name` (trimmed) gets the text as its content; without such a
  // child a new last child is made, its tag being the name with spaces replaced by "_".
  bool SetChildText(const char *name, const char *text);
  bool SetChildInt(const char *name, int32_t n);
  bool SetChildFlag(const char *name, bool flag);

  // False when there is no child tagged exactly `name` (the output is then empty).
  bool ChildText(const char *name, StringBuffer &out) const;
  // Optional sign, digits up to the first other byte; 0 without digits or without the child.
  int32_t ChildInt(const char *name) const;
  bool ChildFlag(const char *name) const { return ChildInt(name) != 0; }

  // Replaces the whole document only when the text holds an element; the parser's messages
  // are in this object's log. Text content is always trimmed: `trim` is accepted for callers'
  // symmetry.
  bool LoadXml2(const XString &text, bool trim);
  // The whole document (declaration with an encoding, utf-8 unless set) with CR LF line ends.
  bool ToXml(StringBuffer &out);

 private:
  void releaseNode();

  TreeNode *m_node;
  bool m_emitDeclaration = true;
};
