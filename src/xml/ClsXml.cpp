#include "xml/ClsXml.h"

#include "base/XString.h"
#include "xml/TreeInfo.h"
#include "xml/TreeNode.h"
#include "xml/XmlParser.h"

ClsXml::ClsXml() : m_node(TreeNode::createRoot("unnamed")) {
  if (m_node) m_node->hold();
}

ClsXml::~ClsXml() {
  CritSecExitor lock(*this);
  releaseNode();
}

void ClsXml::releaseNode() {
  if (TreeNode::isValid(m_node)) m_node->release();
  m_node = nullptr;
}

bool ClsXml::SetTag(const char *tag) {
  if (!TreeNode::isValid(m_node)) return false;
  m_node->setTag(tag);
  return true;
}

bool ClsXml::SetEncoding(const char *name) {
  if (!TreeNode::isValid(m_node) || m_node->getInfo() == nullptr || !m_node->getInfo()->isValid())
    return false;
  StringBuffer encoding(name);
  encoding.trim();
  for (const char *c = " \n\r></"; *c; ++c) encoding.removeChar(*c);
  TreeInfo *info = m_node->getInfo();
  TreeNode *declaration = info->getDeclaration();
  if (declaration == nullptr) {
    declaration = TreeNode::create("xml");
    if (declaration == nullptr || !declaration->addAttribute("version", "1.0")) {
      delete declaration;
      return false;
    }
    info->setDeclaration(declaration);
  }
  declaration->removeAllAttributes("encoding");
  return declaration->addAttribute("encoding", encoding.getText());
}

bool ClsXml::SetChildText(const char *name, const char *text) {
  if (!TreeNode::isValid(m_node)) return false;
  StringBuffer key(name);
  key.trim();
  TreeNode *child = m_node->findChild(key.getText());
  if (child == nullptr) {
    key.replaceCharBytes(' ', '_');
    child = m_node->createChild(key.getText());
    if (child == nullptr) return false;
  }
  return child->setContent(text);
}

bool ClsXml::SetChildInt(const char *name, int32_t n) {
  StringBuffer text;
  return text.appendInt(n) && SetChildText(name, text.getText());
}

bool ClsXml::SetChildFlag(const char *name, bool flag) { return SetChildText(name, flag ? "1" : "0"); }

bool ClsXml::ChildText(const char *name, StringBuffer &out) const {
  out.clear();
  if (!TreeNode::isValid(m_node)) return false;
  const TreeNode *child = m_node->findChild(name);
  return child && out.append(child->getContent());
}

int32_t ClsXml::ChildInt(const char *name) const {
  if (!TreeNode::isValid(m_node)) return 0;
  const TreeNode *child = m_node->findChild(name);
  return child ? child->getContentInt() : 0;
}

bool ClsXml::LoadXml2(const XString &text, bool /*trim*/) {
  CritSecExitor lock(*this);
  methodEntryLog("LoadXml2");
  TreeNode *root = nullptr;
  const bool parsed = parseDocument(text.getUtf8(), text.getSizeUtf8(), &m_log, root);
  if (parsed && root) {
    releaseNode();
    m_node = root;
    m_node->hold();
  }
  m_log.leaveContext();
  return parsed && root;
}

bool ClsXml::ToXml(StringBuffer &out) {
  out.clear();
  CritSecExitor lock(*this);
  if (!TreeNode::isValid(m_node)) return false;
  TreeInfo *info = m_node->getInfo();
  if (info && info->m_root == m_node) {
    TreeNode *declaration = info->getDeclaration();
    if ((declaration == nullptr || !declaration->hasAttribute("encoding")) && !SetEncoding("utf-8"))
      return false;
  }
  return m_node->writeXml(out, m_emitDeclaration);
}
