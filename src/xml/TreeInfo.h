#pragma once

#include <cstdint>

#include "base/ExtPtrArray.h"
#include "base/QuorvelObject.h"
#include "base/StringBuffer.h"

class TreeNode;

// The record one XML tree shares: its root, what stands before the root in the document (the
// declaration, stylesheet instructions, the DTD and other processing instructions) and the count
// of holders of any node of the tree.
class TreeInfo : public QuorvelObject {
 public:
  TreeInfo();
  TreeInfo(const TreeInfo &) = delete;
  TreeInfo &operator=(const TreeInfo &) = delete;
  ~TreeInfo() override;

  bool isValid() const { return m_alive == kAlive; }

  // The declaration is a node whose attributes are the pseudo-attributes (version, encoding, ...).
  TreeNode *getDeclaration() const { return m_declaration; }
  void setDeclaration(TreeNode *declaration);
  // Stylesheet nodes in document order, owned.
  ExtPtrArray &stylesheets() { return m_stylesheets; }
  // Verbatim texts, each piece ended by a line feed.
  StringBuffer &dtd() { return m_dtd; }
  StringBuffer &otherInstructions() { return m_otherInstructions; }
  // Moves every document-level item of `from` here, dropping what was here.
  void takeDocumentItems(TreeInfo &from);

  TreeNode *m_root = nullptr;
  int m_docRefCount = 0;
  const uint32_t m_docSerial;

 private:
  static constexpr uint8_t kAlive = 206;
  static constexpr uint8_t kDestroyed = 49;

  uint8_t m_alive = kAlive;
  TreeNode *m_declaration = nullptr;
  ExtPtrArray m_stylesheets;
  StringBuffer m_dtd;
  StringBuffer m_otherInstructions;
};
