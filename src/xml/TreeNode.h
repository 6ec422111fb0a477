#pragma once

#include <cstdint>

#include "base/ExtPtrArray.h"
#include "base/QuorvelObject.h"
#include "base/StringBuffer.h"

class AttributeSet;
class TreeInfo;

// One XML element. A tree's nodes share one TreeInfo; deleting the root deletes the whole tree
// and its record. Callers hold nodes through hold/release, which count per node and per tree.
//
// Tags keep only ASCII letters and digits, bytes from 0x80 up and "!-.:_" (but do not begin with
// "!"); attribute names
// follow the same filter and get an "A" in front when they would begin with a digit, "-" or ".".
class TreeNode : public QuorvelObject {
 public:
  // A node of no tree (declarations and stylesheet instructions are such nodes).
  static TreeNode *create(const char *tag);
  // The root of a new tree with a fresh TreeInfo.
  static TreeNode *createRoot(const char *tag);
  // True for a node that is alive; every caller that is handed a node asks this first.
  static bool isValid(const TreeNode *node);

  TreeNode(const TreeNode &) = delete;
  TreeNode &operator=(const TreeNode &) = delete;
  ~TreeNode() override;

  // The new node is the last child; null when memory runs out.
  TreeNode *createChild(const char *tag);

  const char *getTag() const;
  void setTag(const char *tag);

  bool addAttribute(const char *name, const char *value);
  // False when absent; `out` is then empty.
  bool getAttribute(const char *name, StringBuffer &out) const;
  bool getAttributeAt(int index, StringBuffer &name, StringBuffer &value) const;
  bool hasAttribute(const char *name) const;
  void removeAttribute(const char *name);
  void removeAllAttributes(const char *name);
  int getAttributeCount() const;

  bool hasContent() const;
  const char *getContent() const;
  bool setContent(const char *text);
  // The content buffer, created when missing (null when memory runs out).
  StringBuffer *editContent();
  int32_t getContentInt() const;
  bool isCdata() const { return m_cdata; }
  void setCdata(bool cdata) { m_cdata = cdata; }

  int getChildCount() const { return m_children ? m_children->getCount() : 0; }
  TreeNode *getChild(int index) const;
  TreeNode *findChild(const char *tag) const;
  TreeNode *getParent() const { return m_parent; }
  TreeNode *getRoot();
  TreeInfo *getInfo() const { return m_info; }

  // Adds a holder of this node (and of its tree).
  void hold();
  // Drops a holder; when the tree has none left, it is deleted and false is returned.
  bool release();

  // The subtree as indented text with CR LF line ends; on the document root, the
  // document-level items come first when `withDeclaration` is set.
  bool writeXml(StringBuffer &out, bool withDeclaration);

 private:
  static constexpr uint8_t kAlive = 0xCE;
  static constexpr uint32_t kInlineTagSize = 16;

  explicit TreeNode(TreeInfo *info);
  void freeTag();
  bool hasBody() const { return hasContent() || m_children != nullptr; }
  // Deletes every descendant without recursing, so that deep documents cannot exhaust the stack.
  void deleteDescendants();
  void moveStandaloneLast();
  bool writeDocumentItems(StringBuffer &out);
  bool writeStart(StringBuffer &out, bool firstChild, int depth, bool withDeclaration);
  bool writeEnd(StringBuffer &out, int depth) const;

  TreeInfo *m_info;
  char m_tagInline[kInlineTagSize];
  char *m_tagHeap = nullptr;
  bool m_cdata = false;
  int m_refCount = 0;
  AttributeSet *m_attributes = nullptr;
  StringBuffer *m_content = nullptr;
  ExtPtrArray *m_children = nullptr;
  TreeNode *m_parent = nullptr;
  TreeNode *m_nextSibling = nullptr;
  TreeNode *m_prevSibling = nullptr;
  uint8_t m_alive = kAlive;
};
