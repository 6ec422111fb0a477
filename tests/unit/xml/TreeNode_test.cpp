// The element tree: name rules, counted holders and the exact text the serialiser writes.
#include "xml/TreeNode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "xml/TreeInfo.h"
#include "xml/XmlParser.h"

namespace {
std::string write(TreeNode *node) {
  StringBuffer out;
  EXPECT_TRUE(node->writeXml(out, true));
  return out.getText();
}

// Parses, writes and deletes.
std::string roundTrip(const char *text) {
  TreeNode *root = nullptr;
  EXPECT_TRUE(parseDocument(text, uint32_t(std::strlen(text)), nullptr, root));
  if (root == nullptr) return "<no root>";
  std::string out = write(root);
  delete root;
  return out;
}
}  // namespace

TEST(TreeNode, TagsKeepNameCharactersWhateverTheirLength) {
  TreeNode *root = TreeNode::createRoot("a b<c>/d\"e'f=g");
  EXPECT_STREQ(root->getTag(), "abcdefg");
  root->setTag("!!a!b");
  EXPECT_STREQ(root->getTag(), "a!b");
  root->setTag("exactly15bytes_");
  EXPECT_STREQ(root->getTag(), "exactly15bytes_");
  root->setTag("sixteen_bytes_xx.and\xC3\xA9 a good deal longer than that");
  EXPECT_STREQ(root->getTag(),
               "sixteen_bytes_xx.and\xC3\xA9"
               "agooddeallongerthanthat");
  root->setTag("short");
  EXPECT_STREQ(root->getTag(), "short");
  delete root;
}

TEST(TreeNode, AttributeNamesThatCannotStartANameGetAPrefix) {
  TreeNode *root = TreeNode::createRoot("r");
  root->addAttribute("9lives", "1");
  root->addAttribute("-x", "2");
  root->addAttribute(".y", "3");
  root->addAttribute("_z", "4");
  root->addAttribute("9lives", "second");
  EXPECT_EQ(write(root), "<r A9lives=\"1\" A-x=\"2\" A.y=\"3\" _z=\"4\" A9lives=\"second\" />\r\n");
  StringBuffer value;
  EXPECT_TRUE(root->getAttribute("A9lives", value));
  EXPECT_STREQ(value.getText(), "1");
  root->removeAllAttributes("A9lives");
  EXPECT_FALSE(root->hasAttribute("A9lives"));
  EXPECT_EQ(root->getAttributeCount(), 3);
  delete root;
}

TEST(TreeNode, WritesIndentedElementsWithCrLf) {
  TreeNode *root = TreeNode::createRoot("");
  root->setContent("top");
  TreeNode *a = root->createChild("a");
  a->createChild("b")->setContent("deep");
  a->createChild("c");
  root->createChild("d")->setContent("x");
  EXPECT_EQ(write(root),
            "<nothing>top\r\n"
            "    <a>\r\n"
            "        <b>deep</b>\r\n"
            "        <c />\r\n"
            "    </a>\r\n"
            "    <d>x</d>\r\n"
            "</nothing>\r\n");
  // A subtree written alone starts on a new line, as it would inside its parent.
  StringBuffer out;
  a->writeXml(out, true);
  EXPECT_STREQ(out.getText(), "\r\n<a>\r\n    <b>deep</b>\r\n    <c />\r\n</a>\r\n");
  delete root;
}

TEST(TreeNode, IndentationStopsGrowingBelowFiftyLevels) {
  TreeNode *root = TreeNode::createRoot("r");
  TreeNode *node = root;
  for (int i = 0; i < 52; ++i) node = node->createChild("n");
  const std::string text = write(root);
  EXPECT_NE(text.find("\r\n" + std::string(200, ' ') + "<n />\r\n"), std::string::npos);  // depth 52
  EXPECT_NE(text.find("\r\n" + std::string(200, ' ') + "<n>\r\n"), std::string::npos);    // depth 51
  EXPECT_NE(text.find("\r\n" + std::string(200, ' ') + "</n>\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n" + std::string(200, ' ') + "<n>\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n" + std::string(50 * 4, ' ') + "<n>\r\n"), std::string::npos);  // depth 50
  delete root;
}

TEST(TreeNode, EscapesTextAndAttributeValues) {
  TreeNode *root = TreeNode::createRoot("r");
  root->setContent("<a & 'b' \"c\" &#65;>");
  root->addAttribute("v", "<a & 'b' \"c\" &#65; &#x41; &#; &x>");
  EXPECT_EQ(write(root),
            "<r v=\"&lt;a &amp; &apos;b&apos; &quot;c&quot; &#65; &#x41; &amp;#; &amp;x&gt;\">"
            "&lt;a &amp; &apos;b&apos; &quot;c&quot; &amp;#65;&gt;</r>\r\n");
  delete root;
}

TEST(TreeNode, CdataIsWrittenAsOneSectionSplitAtEndMarkers) {
  EXPECT_EQ(roundTrip("<r><![CDATA[a<b>&]]><![CDATA[c]]></r>"), "<r><![CDATA[a<b>&c]]></r>\r\n");
  TreeNode *root = TreeNode::createRoot("r");
  root->setCdata(true);
  root->setContent("x]]>y<![CDATA[z]]>");
  const std::string written = "<r><![CDATA[x]]]]><![CDATA[>y<![CDATA[z]]]]><![CDATA[>]]></r>\r\n";
  EXPECT_EQ(write(root), written);
  delete root;
  TreeNode *again = nullptr;
  ASSERT_TRUE(parseDocument(written.c_str(), uint32_t(written.size()), nullptr, again));
  EXPECT_STREQ(again->getContent(), "x]]>y<![CDATA[z]]>");
  delete again;
}

TEST(TreeNode, DocumentItemsPrecedeTheRootAndStandaloneComesLast) {
  const char *text =
      "<?xml standalone=\"no\" version=\"1.0\" encoding='utf-8'?>\n"
      "<?xml-stylesheet href=\"s.xsl\" type=\"text/xsl\"?><?xml-stylesheet?>\n"
      "<!DOCTYPE r [<!ELEMENT r ANY>]><?app a?><?app b?>\n<r/>";
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\" ?>\r\n"
      "<?xml-stylesheet href=\"s.xsl\" type=\"text/xsl\" ?>\r\n"
      "<!DOCTYPE r [<!ELEMENT r ANY>]>\n\r\n"
      "<?app a?>\n<?app b?>\n\r\n"
      "<r />\r\n";
  EXPECT_EQ(roundTrip(text), expected);
  // Writing is stable: the written text parses into a tree that is written the same way.
  EXPECT_EQ(roundTrip(expected.c_str()), expected);
}

TEST(TreeNode, WritingTwiceGivesTheSameText) {
  TreeNode *root = nullptr;
  const char text[] = "<?xml standalone='yes' version='1.0' standalone='no' x='1'?><r a='1'>t<c/></r>";
  ASSERT_TRUE(parseDocument(text, sizeof text - 1, nullptr, root));
  const std::string first = write(root);
  EXPECT_EQ(first.substr(0, first.find('\r')),
            "<?xml version=\"1.0\" x=\"1\" standalone=\"yes\" standalone=\"no\" ?>");
  EXPECT_EQ(write(root), first);
  delete root;
}

TEST(TreeNode, TheTreeLivesWhileItHasHolders) {
  TreeNode *root = TreeNode::createRoot("r");
  TreeNode *child = root->createChild("c");
  root->hold();
  child->hold();
  EXPECT_EQ(root->getInfo()->m_docRefCount, 2);
  EXPECT_TRUE(root->release());
  EXPECT_TRUE(TreeNode::isValid(child));
  EXPECT_FALSE(child->release());  // the last holder: the tree is gone (ASan checks the rest)
}

TEST(TreeNode, ChildLookupIsExactAndFindsTheFirst) {
  TreeNode *root = TreeNode::createRoot("r");
  TreeNode *first = root->createChild("Key");
  root->createChild("Key");
  root->createChild("key");
  EXPECT_EQ(root->findChild("Key"), first);
  EXPECT_EQ(root->findChild("KEY"), nullptr);
  EXPECT_EQ(root->findChild("key"), root->getChild(2));
  EXPECT_EQ(first->getParent(), root);
  EXPECT_EQ(first->getRoot(), root);
  delete root;
}
