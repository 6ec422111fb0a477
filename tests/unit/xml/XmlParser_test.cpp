// The forgiving parser: the recovery rules and their messages, checked through the tree they build.
#include "xml/XmlParser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/Logger.h"
#include "xml/TreeInfo.h"
#include "xml/TreeNode.h"

namespace {
// Owns the parsed root for the length of a test.
struct Parsed {
  explicit Parsed(const char *text) { ok = parseDocument(text, uint32_t(std::strlen(text)), &log, root); }
  ~Parsed() { delete root; }
  std::string logText() {
    StringBuffer out;
    log.copyLogText(out);
    return out.getText();
  }
  bool loggedAnything() {
    const std::string text = logText();
    return text.find("Unclosed") != std::string::npos || text.find("Failed") != std::string::npos ||
           text.find("Error") != std::string::npos;
  }
  std::string child(int i) { return root->getChild(i)->getTag(); }

  Logger log;
  TreeNode *root = nullptr;
  bool ok = false;
};

std::string attribute(TreeNode *node, const char *name) {
  StringBuffer value;
  return node->getAttribute(name, value) ? value.getText() : "<absent>";
}
}  // namespace

TEST(XmlParser, TextAroundAnEmptyChildIsJoinedWithOneSpace) {
  Parsed p("<a>  x  <b/>  y  </a>");
  ASSERT_TRUE(p.ok);
  EXPECT_STREQ(p.root->getContent(), "x y");
  EXPECT_EQ(p.root->getChildCount(), 1);
  EXPECT_EQ(p.child(0), "b");
}

TEST(XmlParser, DecodesOnlyThePredefinedEntities) {
  Parsed p("<a>&lt;&#65;&amp;&gt;&quot;&apos;&nbsp;&amp;amp;</a>");
  EXPECT_STREQ(p.root->getContent(), "<&#65;&>\"'&nbsp;&amp;");
  Parsed q("<a v='&lt;&#65;&amp;lt;&quot;' />");
  EXPECT_EQ(attribute(q.root, "v"), "<&#65;&lt;\"");
}

TEST(XmlParser, CdataSectionsConcatenateAndTextBetweenThemIsDropped) {
  Parsed p("<a><![CDATA[ one]x ]]> dropped <![CDATA[<two>]] ]]></a>");
  EXPECT_STREQ(p.root->getContent(), " one]x <two>]] ");
  EXPECT_TRUE(p.root->isCdata());
  // A section continues the text before it without a space (that text lost its trailing blank).
  Parsed q("<a>lead <![CDATA[x]]><b/>tail</a>");
  EXPECT_STREQ(q.root->getContent(), "leadx tail");
  EXPECT_EQ(q.root->getChildCount(), 1);
}

TEST(XmlParser, UnterminatedCdataRunsToTheEnd) {
  Parsed p("<a><![CDATA[abc]]");
  ASSERT_TRUE(p.ok);
  EXPECT_STREQ(p.root->getContent(), "abc]]");
}

TEST(XmlParser, ClosingTagNamesAreNotCompared) {
  Parsed p("<outer><inner>t</other><after/></outer>");
  ASSERT_EQ(p.root->getChildCount(), 2);
  EXPECT_EQ(p.child(0), "inner");
  EXPECT_EQ(p.child(1), "after");
  EXPECT_FALSE(p.loggedAnything());
}

TEST(XmlParser, ElementsOpenAtTheEndAreClosedInnermostFirst) {
  Parsed p("<outer><inner>text");
  ASSERT_TRUE(p.ok);
  EXPECT_STREQ(p.root->getTag(), "outer");
  ASSERT_EQ(p.root->getChildCount(), 1);
  EXPECT_STREQ(p.root->getChild(0)->getContent(), "text");
}

TEST(XmlParser, TheLastClosedTopLevelElementIsTheRoot) {
  Parsed p("<first/><second/>");
  EXPECT_STREQ(p.root->getTag(), "second");
  // An element left open after the root was closed is dropped.
  Parsed q("<done>1</done><open><child>");
  EXPECT_STREQ(q.root->getTag(), "done");
  EXPECT_EQ(q.root->getChildCount(), 0);
}

TEST(XmlParser, DocumentItemsSurviveADiscardedTopLevelElement) {
  Parsed p("<?xml version='1.0'?><first/><second/>");
  ASSERT_NE(p.root->getInfo()->getDeclaration(), nullptr);
  EXPECT_EQ(attribute(p.root->getInfo()->getDeclaration(), "version"), "1.0");
}

TEST(XmlParser, UnclosedCommentStopsParsingAndKeepsTheRoot) {
  Parsed p("<a>1</a><!-- never ends <b/>");
  ASSERT_TRUE(p.ok);
  EXPECT_STREQ(p.root->getTag(), "a");
  EXPECT_NE(p.logText().find("Unclosed comment"), std::string::npos);
  Parsed q("<a><b/><!--");
  EXPECT_STREQ(q.root->getTag(), "a");
  EXPECT_EQ(q.root->getChildCount(), 1);
}

TEST(XmlParser, CommentsAreSkippedWhateverTheirCase) {
  Parsed p("<a><!-- <b/> -->x<!---->y</a>");
  EXPECT_STREQ(p.root->getContent(), "x y");
  EXPECT_EQ(p.root->getChildCount(), 0);
}

TEST(XmlParser, AngleBracketInAClosingTagIsReported) {
  Parsed p("<a><b></b<c/></a>");
  const std::string log = p.logText();
  EXPECT_NE(log.find("Error in closing tag"), std::string::npos);
  EXPECT_NE(log.find("error_tag"), std::string::npos);
  EXPECT_NE(log.find(": b"), std::string::npos) << log;
  // b is closed; parsing goes on at the "<" and c becomes a's second child.
  ASSERT_EQ(p.root->getChildCount(), 2);
  EXPECT_EQ(p.child(1), "c");
}

TEST(XmlParser, DeclarationPseudoAttributesInEitherQuotes) {
  Parsed p("<?xml version='1.0' encoding=\"UTF-8\" standalone = yes ?>\n<r/>");
  TreeNode *declaration = p.root->getInfo()->getDeclaration();
  ASSERT_NE(declaration, nullptr);
  EXPECT_STREQ(declaration->getTag(), "xml");
  EXPECT_EQ(declaration->getAttributeCount(), 3);
  EXPECT_EQ(attribute(declaration, "version"), "1.0");
  EXPECT_EQ(attribute(declaration, "encoding"), "UTF-8");
  EXPECT_EQ(attribute(declaration, "standalone"), "yes");
}

TEST(XmlParser, DtdStylesheetsAndOtherInstructionsAreKept) {
  Parsed p(
      "<?xml-stylesheet type=\"text/xsl\" href=\"a.xsl\"?><!DOCTYPE r [ <!ELEMENT r ANY> ]>"
      "<?app one?><?other two?><r/>");
  TreeInfo *info = p.root->getInfo();
  EXPECT_STREQ(info->dtd().getText(), "<!DOCTYPE r [ <!ELEMENT r ANY> ]>\n");
  EXPECT_STREQ(info->otherInstructions().getText(), "<?app one?>\n<?other two?>\n");
  ASSERT_EQ(info->stylesheets().getCount(), 1);
  auto *stylesheet = static_cast<TreeNode *>(info->stylesheets().get(0));
  EXPECT_EQ(attribute(stylesheet, "href"), "a.xsl");
  EXPECT_FALSE(p.loggedAnything());
}

TEST(XmlParser, UnbalancedDtdIsReportedAndKept) {
  Parsed p("<r/><!DOCTYPE r [ <!ELEMENT r ANY>");
  EXPECT_NE(p.logText().find("Failed to parse DTD"), std::string::npos);
  // Closed, so that the document written back can be read again.
  EXPECT_STREQ(p.root->getInfo()->dtd().getText(), "<!DOCTYPE r [ <!ELEMENT r ANY>>\n");
}

TEST(XmlParser, NamesKeepOnlyNameCharacters) {
  Parsed p("<a$b 1st=\"x\" -d='y' a<b='z' ok:n_.-='w' 'q'='v'/>");
  EXPECT_STREQ(p.root->getTag(), "ab");
  EXPECT_EQ(attribute(p.root, "A1st"), "x");
  EXPECT_EQ(attribute(p.root, "A-d"), "y");
  EXPECT_EQ(attribute(p.root, "ab"), "z");
  EXPECT_EQ(attribute(p.root, "ok:n_.-"), "w");
  EXPECT_EQ(attribute(p.root, "q"), "v");
  EXPECT_EQ(p.root->getAttributeCount(), 5);
}

TEST(XmlParser, AttributesWithoutValuesAndSelfClosingForms) {
  Parsed p("<a flag x = 'y' / ><b/></a>");
  // The "/" closes a at once, so b is a second top-level element and becomes the root.
  EXPECT_STREQ(p.root->getTag(), "b");
  Parsed q("<a flag x = 'y'><b /></a>");
  EXPECT_EQ(attribute(q.root, "flag"), "");
  EXPECT_EQ(attribute(q.root, "x"), "y");
  EXPECT_EQ(q.root->getChildCount(), 1);
}

TEST(XmlParser, TextWithoutElementsGivesNoRoot) {
  for (const char *text : {"", "   ", "just text", "<!-- c -->", "<?xml version='1.0'?>", "</a>", "<"}) {
    Parsed p(text);
    EXPECT_TRUE(p.ok) << text;
    EXPECT_EQ(p.root, nullptr) << text;
  }
}

TEST(XmlParser, StopsAtTheFirstZeroByte) {
  const char text[] = "<a>x</a>\0<b/>";
  TreeNode *root = nullptr;
  ASSERT_TRUE(parseDocument(text, sizeof text, nullptr, root));
  EXPECT_STREQ(root->getTag(), "a");
  delete root;
}

TEST(XmlParser, DeepNestingNeedsNoDeepStack) {
  std::string text;
  for (int i = 0; i < 30000; ++i) text += "<d>";
  TreeNode *root = nullptr;
  ASSERT_TRUE(parseDocument(text.c_str(), uint32_t(text.size()), nullptr, root));
  StringBuffer out;
  EXPECT_TRUE(root->writeXml(out, true));
  EXPECT_GT(out.getSize(), 30000u * 200);
  delete root;
}
