// The settings document comes from the payload: parse any bytes, write the tree back, and require
// that the written text parses into a tree that is written the same way again.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/StringBuffer.h"
#include "xml/TreeNode.h"
#include "xml/XmlParser.h"

namespace {
bool parseAndWrite(const char *text, uint32_t size, StringBuffer &out) {
  TreeNode *root = nullptr;
  if (!parseDocument(text, size, nullptr, root)) std::abort();
  if (root == nullptr) return false;
  if (!root->writeXml(out, true)) std::abort();
  delete root;
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  StringBuffer first, second;
  if (!parseAndWrite(reinterpret_cast<const char *>(data), uint32_t(size), first)) return 0;
  if (!parseAndWrite(first.getText(), first.getSize(), second)) std::abort();
  if (!first.equalsBuffer(second)) std::abort();
  return 0;
}
