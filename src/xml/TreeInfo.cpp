#include "xml/TreeInfo.h"

#include "xml/TreeNode.h"

namespace {
uint32_t nextDocSerial = 100;
}

TreeInfo::TreeInfo() : m_docSerial(nextDocSerial++) {}

TreeInfo::~TreeInfo() {
  setDeclaration(nullptr);
  m_stylesheets.deleteAll();
  // Volatile, so that the optimiser cannot drop the store as dead once the object ends.
  *const_cast<volatile uint8_t *>(&m_alive) = kDestroyed;
}

void TreeInfo::setDeclaration(TreeNode *declaration) {
  if (declaration == m_declaration) return;
  delete m_declaration;
  m_declaration = declaration;
}

void TreeInfo::takeDocumentItems(TreeInfo &from) {
  setDeclaration(from.m_declaration);
  from.m_declaration = nullptr;
  m_stylesheets.deleteAll();
  for (int i = 0; i < from.m_stylesheets.getCount(); ++i) {
    QuorvelObject *node = from.m_stylesheets.get(i);
    if (!m_stylesheets.append(node)) delete node;
  }
  from.m_stylesheets.clear();
  m_dtd.takeOver(from.m_dtd);
  m_otherInstructions.takeOver(from.m_otherInstructions);
}
