// The parser's tree compared with Python's xml.etree on well-formed documents
// (tests/fixtures/gen_xml_etree.py writes the documents and etree's view of them).
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "xml/TreeNode.h"
#include "xml/XmlParser.h"

namespace {
struct EtreeCase {
  const char *name;
  const char *document;
  const char *etreeView;
};

const EtreeCase kCases[] = {
#include "fixtures/xml_etree_cases.inc"
};

// Where the parser differs from etree on purpose, what it gives instead.
const std::map<std::string, std::string> kDifferences = {
    // Character references other than the five entities stay as written.
    {"diff_numeric_reference", "0|a|v=&#65;|&#66;&#x43;"},
    // A comment ends a text piece; the pieces are joined with a space.
    {"diff_text_around_comment", "0|a||x y"},
    // Text before a section loses its trailing blank and joins the section directly; text after a
    // section up to the next markup is dropped.
    {"diff_text_before_cdata", "0|a||leadx"},
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string trimmed(const char *text) {
  std::string s(text);
  while (!s.empty() && isBlank(s.back())) s.pop_back();
  size_t start = 0;
  while (start < s.size() && isBlank(s[start])) ++start;
  return s.substr(start);
}

// The same lines as the generator's view: depth|tag|name=value;...|text.
void describe(TreeNode *node, int depth, std::string &out) {
  if (!out.empty()) out += '\n';
  out += std::to_string(depth) + '|' + node->getTag() + '|';
  std::string attributes;
  for (int i = 0; i < node->getAttributeCount(); ++i) {
    StringBuffer name, value;
    node->getAttributeAt(i, name, value);
    if (i) attributes += ';';
    attributes += std::string(name.getText()) + '=' + value.getText();
  }
  out += attributes + '|' + trimmed(node->getContent());
  for (int i = 0; i < node->getChildCount(); ++i) describe(node->getChild(i), depth + 1, out);
}
}  // namespace

TEST(XmlEtree, TreeAgreesWithPythonsEtree) {
  ASSERT_GE(sizeof kCases / sizeof kCases[0], 50u);
  for (const EtreeCase &c : kCases) {
    TreeNode *root = nullptr;
    ASSERT_TRUE(parseDocument(c.document, uint32_t(std::strlen(c.document)), nullptr, root)) << c.name;
    ASSERT_NE(root, nullptr) << c.name;
    std::string ours;
    describe(root, 0, ours);
    delete root;
    auto difference = kDifferences.find(c.name);
    if (difference == kDifferences.end()) {
      EXPECT_EQ(ours, c.etreeView) << c.name << ": " << c.document;
    } else {
      EXPECT_EQ(ours, difference->second) << c.name;
      EXPECT_NE(ours, c.etreeView) << c.name << " no longer differs from etree";
    }
  }
}
