#include "xml/TreeNode.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "xml/AttributeSet.h"
#include "xml/TreeInfo.h"

namespace {
const char kOutOfMemoryTag[] = "outOfMemory";
}  // namespace

TreeNode::TreeNode(TreeInfo *info) : m_info(info), m_tagInline{} {}

TreeNode *TreeNode::create(const char *tag) {
  TreeNode *node = new (std::nothrow) TreeNode(nullptr);
  if (node) node->setTag(tag);
  return node;
}

TreeNode *TreeNode::createRoot(const char *tag) {
  TreeInfo *info = new (std::nothrow) TreeInfo;
  if (info == nullptr) return nullptr;
  TreeNode *node = new (std::nothrow) TreeNode(info);
  if (node == nullptr) {
    delete info;
    return nullptr;
  }
  info->m_root = node;
  node->setTag(tag);
  return node;
}

bool TreeNode::isValid(const TreeNode *node) { return node != nullptr && node->m_alive == kAlive; }

TreeNode::~TreeNode() {
  deleteDescendants();
  delete m_children;
  delete m_attributes;
  delete m_content;
  freeTag();
  if (m_info && m_info->m_root == this) delete m_info;
  // Volatile, so that the optimiser cannot drop the store as dead once the object ends.
  *const_cast<volatile uint8_t *>(&m_alive) = 0;
}

void TreeNode::deleteDescendants() {
  TreeNode *node = this;
  for (;;) {
    while (node->getChildCount() > 0) node = node->getChild(0);
    if (node == this) break;
    TreeNode *parent = node->m_parent;
    TreeNode *next = node->m_nextSibling;
    delete node;
    if (next) {
      node = next;
    } else {
      // Every child of `parent` is gone now: it becomes a leaf and is deleted in its turn.
      parent->m_children->clear();
      node = parent;
    }
  }
}

TreeNode *TreeNode::createChild(const char *tag) {
  if (!isValid(this)) return nullptr;
  if (m_children == nullptr) {
    m_children = new (std::nothrow) ExtPtrArray;
    if (m_children == nullptr) return nullptr;
  }
  TreeNode *child = new (std::nothrow) TreeNode(m_info);
  if (child == nullptr) return nullptr;
  if (!m_children->append(child)) {
    delete child;
    return nullptr;
  }
  child->setTag(tag);
  child->m_parent = this;
  if (m_children->getCount() > 1) {
    TreeNode *previous = getChild(m_children->getCount() - 2);
    previous->m_nextSibling = child;
    child->m_prevSibling = previous;
  }
  return child;
}

void TreeNode::freeTag() {
  std::free(m_tagHeap);
  m_tagHeap = nullptr;
}

const char *TreeNode::getTag() const {
  if (!isValid(this)) return "";
  return m_tagHeap ? m_tagHeap : m_tagInline;
}

void TreeNode::setTag(const char *tag) {
  if (!isValid(this)) return;
  freeTag();
  StringBuffer name(tag ? tag : "");
  name.keepNameChars();
  // "<!" opens a comment or declaration, so a tag written back with a leading "!" would not
  // read back as an element.
  uint32_t bangs = 0;
  while (name.charAt(bangs) == '!') ++bangs;
  name.removeRange(0, bangs);
  if (name.getSize() < kInlineTagSize) {
    std::memcpy(m_tagInline, name.getText(), name.getSize() + 1);
    return;
  }
  m_tagHeap = static_cast<char *>(std::malloc(name.getSize() + 1));
  if (m_tagHeap) {
    std::memcpy(m_tagHeap, name.getText(), name.getSize() + 1);
  } else {
    std::memcpy(m_tagInline, kOutOfMemoryTag, sizeof kOutOfMemoryTag);
  }
}

bool TreeNode::addAttribute(const char *name, const char *value) {
  if (!isValid(this)) return false;
  if (m_attributes == nullptr) {
    m_attributes = new (std::nothrow) AttributeSet;
    if (m_attributes == nullptr) return false;
  }
  StringBuffer cleanName(name);
  cleanName.keepNameChars();
  const char first = cleanName.charAt(0);
  if (((first >= '0' && first <= '9') || first == '-' || first == '.') && !cleanName.prepend("A"))
    return false;
  return m_attributes->addPair(cleanName.getText(), cleanName.getSize(), value, uint32_t(std::strlen(value)));
}

bool TreeNode::getAttribute(const char *name, StringBuffer &out) const {
  out.clear();
  return isValid(this) && m_attributes && m_attributes->getValue(name, out);
}

bool TreeNode::getAttributeAt(int index, StringBuffer &name, StringBuffer &value) const {
  name.clear();
  value.clear();
  return isValid(this) && m_attributes && m_attributes->getPair(index, name, value);
}

bool TreeNode::hasAttribute(const char *name) const {
  return isValid(this) && m_attributes && m_attributes->hasName(name);
}

void TreeNode::removeAttribute(const char *name) {
  if (isValid(this) && m_attributes) m_attributes->removeFirst(name);
}

void TreeNode::removeAllAttributes(const char *name) {
  if (isValid(this) && m_attributes) m_attributes->removeAll(name);
}

int TreeNode::getAttributeCount() const {
  return isValid(this) && m_attributes ? m_attributes->getCount() : 0;
}

bool TreeNode::hasContent() const { return isValid(this) && m_content && !m_content->isEmpty(); }

const char *TreeNode::getContent() const { return isValid(this) && m_content ? m_content->getText() : ""; }

bool TreeNode::setContent(const char *text) {
  if (!isValid(this)) return false;
  if (text == nullptr || *text == 0) {
    if (m_content) m_content->clear();
    return true;
  }
  StringBuffer *content = editContent();
  return content && content->setString(text);
}

StringBuffer *TreeNode::editContent() {
  if (!isValid(this)) return nullptr;
  if (m_content == nullptr) m_content = new (std::nothrow) StringBuffer;
  return m_content;
}

int32_t TreeNode::getContentInt() const { return hasContent() ? m_content->toInt() : 0; }

TreeNode *TreeNode::getChild(int index) const {
  if (!isValid(this) || m_children == nullptr) return nullptr;
  return static_cast<TreeNode *>(m_children->get(index));
}

TreeNode *TreeNode::findChild(const char *tag) const {
  for (int i = 0; i < getChildCount(); ++i) {
    TreeNode *child = getChild(i);
    if (std::strcmp(child->getTag(), tag) == 0) return child;
  }
  return nullptr;
}

TreeNode *TreeNode::getRoot() {
  if (!isValid(this)) return nullptr;
  TreeNode *node = this;
  while (node->m_parent) node = node->m_parent;
  return node;
}

void TreeNode::hold() {
  if (!isValid(this)) return;
  ++m_refCount;
  if (m_info) ++m_info->m_docRefCount;
}

bool TreeNode::release() {
  if (!isValid(this)) return false;
  if (m_refCount > 0) --m_refCount;
  if (m_info == nullptr) return true;
  if (m_info->m_docRefCount > 0) --m_info->m_docRefCount;
  if (m_info->m_docRefCount > 0) return true;
  delete m_info->m_root;
  return false;
}
