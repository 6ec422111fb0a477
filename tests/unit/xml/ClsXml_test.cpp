// The document object: child access by tag, whole-document loads and the text written back.
#include "xml/ClsXml.h"

#include <gtest/gtest.h>

#include <string>

#include "base/XString.h"

namespace {
bool load(ClsXml &xml, const char *text) {
  XString utf8;
  utf8.setUtf8(text);
  return xml.LoadXml2(utf8, true);
}

std::string toXml(ClsXml &xml) {
  StringBuffer out;
  EXPECT_TRUE(xml.ToXml(out));
  return out.getText();
}

std::string childText(const ClsXml &xml, const char *name) {
  StringBuffer out("stale");
  return xml.ChildText(name, out) ? out.getText() : "<none>";
}
}  // namespace

TEST(ClsXml, ANewDocumentIsAnUnnamedRootWithTheDefaultDeclaration) {
  ClsXml xml;
  EXPECT_EQ(toXml(xml), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unnamed />\r\n");
}

TEST(ClsXml, MissingChildIsNoneWhileAnEmptyOneIsEmptyText) {
  ClsXml xml;
  ASSERT_TRUE(load(xml, "<r><empty/><blank>   </blank><v>x</v></r>"));
  EXPECT_EQ(childText(xml, "missing"), "<none>");
  EXPECT_EQ(childText(xml, "empty"), "");
  EXPECT_EQ(childText(xml, "blank"), "");
  EXPECT_EQ(childText(xml, "v"), "x");
  EXPECT_EQ(childText(xml, "V"), "<none>");
}

TEST(ClsXml, IntegerAndFlagReadings) {
  ClsXml xml;
  ASSERT_TRUE(load(xml,
                   "<r><t>true</t><z>007</z><m>-0</m><n>-12x</n><p>+5</p><s> 1</s><big>4294967297</big>"
                   "<e></e></r>"));
  EXPECT_FALSE(xml.ChildFlag("t"));
  EXPECT_TRUE(xml.ChildFlag("z"));
  EXPECT_EQ(xml.ChildInt("z"), 7);
  EXPECT_FALSE(xml.ChildFlag("m"));
  EXPECT_EQ(xml.ChildInt("n"), -12);
  EXPECT_EQ(xml.ChildInt("p"), 5);
  // Content is trimmed when parsed, so the blank is gone by the time it is read.
  EXPECT_EQ(xml.ChildInt("s"), 1);
  EXPECT_EQ(xml.ChildInt("e"), 0);
  EXPECT_EQ(xml.ChildInt("absent"), 0);
  EXPECT_FALSE(xml.ChildFlag("absent"));
}

TEST(ClsXml, SetChildTextChangesTheFirstOrAppends) {
  ClsXml xml;
  xml.SetTag("r");
  EXPECT_TRUE(xml.SetChildText("  Key  ", "one"));
  EXPECT_TRUE(xml.SetChildText("Key", "two"));
  EXPECT_TRUE(xml.SetChildInt("Num", -42));
  EXPECT_TRUE(xml.SetChildFlag("Flag", true));
  // The tag gets an underscore, but lookups use the name as given, so a second call appends again.
  EXPECT_TRUE(xml.SetChildText("My Key", "a"));
  EXPECT_TRUE(xml.SetChildText("My Key", "b"));
  EXPECT_TRUE(xml.SetChildText("Cleared", "x"));
  EXPECT_TRUE(xml.SetChildText("Cleared", nullptr));
  EXPECT_EQ(toXml(xml),
            "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n"
            "<r>\r\n"
            "    <Key>two</Key>\r\n"
            "    <Num>-42</Num>\r\n"
            "    <Flag>1</Flag>\r\n"
            "    <My_Key>a</My_Key>\r\n"
            "    <My_Key>b</My_Key>\r\n"
            "    <Cleared />\r\n"
            "</r>\r\n");
}

TEST(ClsXml, SetEncodingCleansTheNameAndReplacesEveryEncoding) {
  ClsXml xml;
  ASSERT_TRUE(load(xml, "<?xml version='1.1' encoding='a' encoding='b'?><r/>"));
  EXPECT_TRUE(xml.SetEncoding("  wind ows-\r\n1252/<> "));
  EXPECT_EQ(toXml(xml), "<?xml version=\"1.1\" encoding=\"windows-1252\" ?>\r\n<r />\r\n");
}

TEST(ClsXml, CharacterReferencesRoundTripDifferentlyInTextAndAttributes) {
  ClsXml xml;
  ASSERT_TRUE(load(xml, "<r v=\"&#65;\">&#66;</r>"));
  EXPECT_EQ(toXml(xml), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<r v=\"&#65;\">&amp;#66;</r>\r\n");
}

TEST(ClsXml, StandaloneIsWrittenLast) {
  ClsXml xml;
  ASSERT_TRUE(load(xml, "<?xml version=\"1.0\" standalone=\"yes\" encoding=\"utf-8\"?><r/>"));
  const std::string expected = "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\r\n<r />\r\n";
  EXPECT_EQ(toXml(xml), expected);
  EXPECT_EQ(toXml(xml), expected);
}

TEST(ClsXml, AFailedLoadKeepsTheDocument) {
  ClsXml xml;
  ASSERT_TRUE(load(xml, "<r><k>v</k></r>"));
  for (const char *text : {"", "no markup", "<!-- only a comment -->", "<?xml version='1.0'?>"}) {
    EXPECT_FALSE(load(xml, text)) << text;
    EXPECT_EQ(childText(xml, "k"), "v") << text;
  }
  XString log;
  EXPECT_FALSE(load(xml, "<!-- open"));
  xml.getLogText(log);
  const std::string text = log.getUtf8();
  EXPECT_NE(text.find("LoadXml2"), std::string::npos) << text;
  EXPECT_NE(text.find("Unclosed comment"), std::string::npos) << text;
}
