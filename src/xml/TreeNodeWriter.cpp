// Serialising a tree: one element per line, four spaces of indentation per level, CR LF line
// ends, text escaped, CDATA content written back as one CDATA section.
#include <cstring>

#include "xml/AttributeSet.h"
#include "xml/TreeInfo.h"
#include "xml/TreeNode.h"
#include "xml/XmlEscape.h"

namespace {
constexpr int kMaxIndentedDepth = 50;
constexpr uint32_t kDeepIndent = 200;

bool appendIndent(StringBuffer &out, int depth) {
  return out.appendCharN(' ', depth > kMaxIndentedDepth ? kDeepIndent : uint32_t(depth) * 4);
}

// A section cannot hold its own end marker: where the content has one, the section ends between
// its "]]" and ">" and a new one begins, which readers join again.
bool appendCdata(const char *content, StringBuffer &out) {
  if (!out.append("<![CDATA[")) return false;
  if (std::strstr(content, "]]>") == nullptr) return out.append(content) && out.append("]]>");
  StringBuffer split(content);
  return split.replaceAll("]]>", "]]]]><![CDATA[>") && out.appendBuffer(split) && out.append("]]>");
}

bool appendTag(const char *tag, StringBuffer &out) { return out.append(*tag ? tag : "nothing"); }
}  // namespace

bool TreeNode::writeXml(StringBuffer &out, bool withDeclaration) {
  if (!isValid(this)) return false;
  TreeNode *node = this;
  int depth = 0;
  bool firstChild = true;
  for (;;) {
    if (!node->writeStart(out, firstChild, depth, withDeclaration)) return false;
    if (node->getChildCount() > 0) {
      node = node->getChild(0);
      ++depth;
      firstChild = true;
      continue;
    }
    if (node->hasBody() && !node->writeEnd(out, depth)) return false;
    while (node != this && node->m_nextSibling == nullptr) {
      node = node->m_parent;
      --depth;
      if (!node->writeEnd(out, depth)) return false;
    }
    if (node == this) return true;
    node = node->m_nextSibling;
    firstChild = false;
  }
}

// Readers expect standalone after version and encoding. Every standalone moves, in its order, so
// that writing again gives the same text.
void TreeNode::moveStandaloneLast() {
  int count = 0;
  StringBuffer name, value;
  for (int i = 0; getAttributeAt(i, name, value); ++i) count += name.equals("standalone");
  for (; count > 0; --count) {
    getAttribute("standalone", value);
    removeAttribute("standalone");
    addAttribute("standalone", value.getText());
  }
}

bool TreeNode::writeDocumentItems(StringBuffer &out) {
  TreeNode *declaration = m_info->getDeclaration();
  if (declaration) {
    declaration->moveStandaloneLast();
    if (!out.append("<?xml") || (declaration->m_attributes && !declaration->m_attributes->writeXml(out)) ||
        !out.append(" ?>\r\n")) {
      return false;
    }
  }
  ExtPtrArray &stylesheets = m_info->stylesheets();
  for (int i = 0; i < stylesheets.getCount(); ++i) {
    auto *stylesheet = static_cast<TreeNode *>(stylesheets.get(i));
    if (stylesheet->getAttributeCount() == 0) continue;
    if (!out.append("<?xml-stylesheet") || !stylesheet->m_attributes->writeXml(out) ||
        !out.append(" ?>\r\n")) {
      return false;
    }
  }
  const StringBuffer *texts[] = {&m_info->dtd(), &m_info->otherInstructions()};
  for (const StringBuffer *text : texts) {
    if (!text->isEmpty() && (!out.appendBuffer(*text) || !out.append("\r\n"))) return false;
  }
  return true;
}

// Writes the start tag and the content; a node without either is written as an empty-element
// tag and needs no end tag.
bool TreeNode::writeStart(StringBuffer &out, bool firstChild, int depth, bool withDeclaration) {
  const bool isDocumentRoot = m_info && m_info->m_root == this;
  if (isDocumentRoot && withDeclaration && !writeDocumentItems(out)) return false;
  if (!isDocumentRoot && firstChild && !out.append("\r\n")) return false;
  if (!appendIndent(out, depth) || !out.appendChar('<') || !appendTag(getTag(), out)) return false;
  if (m_attributes && !m_attributes->writeXml(out)) return false;
  if (!hasBody()) return out.append(" />\r\n");
  if (!out.appendChar('>')) return false;
  if (!hasContent()) return true;
  return m_cdata ? appendCdata(getContent(), out)
                 : appendXmlEscaped(getContent(), uint32_t(std::strlen(getContent())), false, out);
}

bool TreeNode::writeEnd(StringBuffer &out, int depth) const {
  if (m_children && !appendIndent(out, depth)) return false;
  return out.append("</") && appendTag(getTag(), out) && out.append(">\r\n");
}
