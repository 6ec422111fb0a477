#include "base/StringBuffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/DataBuffer.h"
#include "base/ExtPtrArray.h"
#include "platform/win32.h"
#include "unit/test_env.h"

namespace {
std::vector<std::string> splitFields(const char *text, const char *delims, bool quotes, bool escapes) {
  StringBuffer sb(text);
  ExtPtrArray out;
  EXPECT_TRUE(sb.split(delims, quotes, escapes, out));
  std::vector<std::string> fields;
  for (int i = 0; i < out.getCount(); ++i)
    fields.emplace_back(static_cast<StringBuffer *>(out.get(i))->getText());
  out.deleteAll();
  return fields;
}

}  // namespace

TEST(StringBuffer, ShortTextsStayInlineAndGrowthFollowsTheRule) {
  StringBuffer sb;
  ASSERT_TRUE(sb.appendCharN('a', 81));
  EXPECT_TRUE(sb.isInline());
  ASSERT_TRUE(sb.appendChar('b'));
  EXPECT_FALSE(sb.isInline());
  EXPECT_EQ(sb.getCapacity(), 285u);  // 81 + 1 + 202 + 1
  ASSERT_TRUE(sb.appendCharN('c', 202));
  EXPECT_EQ(sb.getCapacity(), 285u);  // 285 bytes hold 284 and the NUL
  ASSERT_TRUE(sb.appendChar('d'));
  EXPECT_EQ(sb.getCapacity(), 285u + 202 + 1);
  // On the heap the increment follows half the capacity.
  ASSERT_TRUE(sb.appendCharN('e', 203));
  EXPECT_EQ(sb.getCapacity(), 488u + 244 + 1);
  EXPECT_EQ(sb.getSize(), 488u);
  EXPECT_EQ(std::strlen(sb.getText()), sb.getSize());
}

TEST(StringBuffer, ConstructorSizesTheStoreExactly) {
  std::string text(100, 'q');
  StringBuffer sb(text.c_str());
  EXPECT_EQ(sb.getCapacity(), 101u);
  EXPECT_EQ(sb.getText(), text);
  // Later appends grow with the usual increment again.
  ASSERT_TRUE(sb.appendChar('z'));
  EXPECT_EQ(sb.getCapacity(), 101u + 1 + 202);
}

TEST(StringBuffer, ClearKeepsTheHeapStoreAndShrinkGivesItBack) {
  StringBuffer sb;
  sb.appendCharN('x', 1000);
  uint32_t capacity = sb.getCapacity();
  sb.clear();
  EXPECT_EQ(sb.getSize(), 0u);
  EXPECT_STREQ(sb.getText(), "");
  EXPECT_EQ(sb.getCapacity(), capacity);
  sb.appendCharN('y', 300);
  ASSERT_TRUE(sb.shrink());
  EXPECT_EQ(sb.getCapacity(), 301u);
  ASSERT_TRUE(sb.shrink());
  EXPECT_EQ(sb.getCapacity(), 301u);
  sb.shortenBy(250);
  ASSERT_TRUE(sb.shrink());
  EXPECT_TRUE(sb.isInline());
  EXPECT_EQ(sb.getText(), std::string(50, 'y'));
  sb.appendCharN('z', 100);
  sb.clearAndFree();
  EXPECT_TRUE(sb.isInline());
  EXPECT_EQ(sb.getSize(), 0u);
}

TEST(StringBuffer, AppendBytesDropsTrailingNuls) {
  StringBuffer sb;
  ASSERT_TRUE(sb.appendBytes("ab\0\0", 4));
  EXPECT_EQ(sb.getSize(), 2u);
  ASSERT_TRUE(sb.appendBytes("c\0d", 3));
  EXPECT_EQ(sb.getSize(), 5u);
  EXPECT_STREQ(sb.getText(), "abc");  // the C view stops at the embedded NUL
  DataBuffer bytes;
  bytes.append("e\0", 2);
  ASSERT_TRUE(sb.appendBuffer(bytes));
  EXPECT_EQ(sb.getSize(), 7u);
}

TEST(StringBuffer, AppendsOfItsOwnTextSurviveGrowth) {
  StringBuffer sb;
  sb.appendCharN('k', 80);
  ASSERT_TRUE(sb.appendBuffer(sb));
  EXPECT_EQ(sb.getText(), std::string(160, 'k'));
  ASSERT_TRUE(sb.append(sb.getText() + 150));
  EXPECT_EQ(sb.getSize(), 170u);
  ASSERT_TRUE(sb.setString(sb.getText() + 165));
  EXPECT_STREQ(sb.getText(), "kkkkk");
  ASSERT_TRUE(sb.setString(nullptr));
  EXPECT_EQ(sb.getSize(), 0u);
}

TEST(StringBuffer, SmallAppendsAndNumbers) {
  StringBuffer sb("x");
  sb.appendChars('a', 'b');
  sb.appendChars('c', 'd', 'e');
  sb.prepend("<<");
  sb.appendInt(-2147483647 - 1);
  EXPECT_STREQ(sb.getText(), "<<xabcde-2147483648");
  EXPECT_EQ(sb.lastChar(), '8');
  EXPECT_EQ(sb.charAt(2), 'x');
  EXPECT_EQ(sb.charAt(100), 0);
}

TEST(StringBuffer, HexDumpBreaksLinesAndPairs) {
  uint8_t bytes[18];
  for (int i = 0; i < 18; ++i) bytes[i] = uint8_t(i * 17);
  StringBuffer sb;
  sb.appendHexDump(bytes, 18);
  EXPECT_STREQ(sb.getText(), "0011 2233 4455 6677 8899 AABB CCDD EEFF\n1021 ");
}

TEST(StringBuffer, WindowsErrorTextIsTrimmedOrAnX) {
  StringBuffer sb;
  ASSERT_TRUE(sb.appendWindowsError(ERROR_FILE_NOT_FOUND));
  StringBuffer last("  ");
  SetLastError(ERROR_ACCESS_DENIED);
  ASSERT_TRUE(last.appendLastWindowsError());
#ifdef _WIN32
  // Texts differ between Windows versions (and Wine): only their trimmed shape is certain.
  for (const StringBuffer *text : {&sb, &last}) {
    EXPECT_GT(text->getSize(), 3u);
    EXPECT_NE(text->charAt(0), ' ');
    EXPECT_EQ(text->lastChar(), '.');
  }
#else
  EXPECT_STREQ(sb.getText(), "The system cannot find the file specified.");
  EXPECT_STREQ(last.getText(), "Access is denied.");
#endif
  StringBuffer none;
  ASSERT_TRUE(none.appendWindowsError(0x2BADBEEF));
  EXPECT_STREQ(none.getText(), "x");
}

TEST(StringBuffer, TakeOverMovesAndLeavesTheOtherEmpty) {
  StringBuffer big, small("tiny"), target;
  big.appendCharN('b', 500);
  const char *store = big.getText();
  target.takeOver(big);
  EXPECT_EQ(target.getText(), store);
  EXPECT_EQ(big.getSize(), 0u);
  EXPECT_TRUE(big.isInline());
  target.takeOver(small);
  EXPECT_STREQ(target.getText(), "tiny");
  EXPECT_STREQ(small.getText(), "");

  DataBuffer data;
  data.append("hello\0", 6);
  const uint8_t *memory = data.getData();
  ASSERT_TRUE(target.takeOverData(data));
  EXPECT_EQ(reinterpret_cast<const uint8_t *>(target.getText()), memory);
  EXPECT_EQ(target.getSize(), 5u);
  EXPECT_EQ(data.getSize(), 0u);
  // Missing terminator: the last byte is kept, not taken for the NUL.
  data.append("abc", 3);
  ASSERT_TRUE(target.takeOverData(data));
  EXPECT_STREQ(target.getText(), "abc");
  // Borrowed memory is copied, never adopted.
  static const char borrowed[] = "lent";
  data.borrow(borrowed, sizeof borrowed);
  ASSERT_TRUE(target.takeOverData(data));
  EXPECT_STREQ(target.getText(), "lent");
  EXPECT_NE(target.getText(), borrowed);

  StringBuffer copy;
  ASSERT_TRUE(copy.copyFrom(target));
  EXPECT_TRUE(copy.equalsBuffer(target));
}

TEST(StringBuffer, TrimmingShorteningAndRemoving) {
  StringBuffer sb(" \t\r\n mid dle \n");
  sb.trim();
  EXPECT_STREQ(sb.getText(), "mid dle");
  sb.removeRange(3, 1);
  EXPECT_STREQ(sb.getText(), "middle");
  sb.removeRange(4, 100);
  EXPECT_STREQ(sb.getText(), "midd");
  sb.shortenBy(10);
  EXPECT_EQ(sb.getSize(), 0u);
  sb.setString("a.b.c.d");
  sb.removeChar('.', 3);
  EXPECT_STREQ(sb.getText(), "a.bcd");
  sb.removeChar('.');
  EXPECT_STREQ(sb.getText(), "abcd");
  sb.setString("a/b/c");
  EXPECT_EQ(sb.replaceCharBytes('/', '\\'), 2u);
  EXPECT_STREQ(sb.getText(), "a\\b\\c");
}

TEST(StringBuffer, Replacements) {
  StringBuffer sb("one two one two");
  EXPECT_TRUE(sb.replaceLast("two", "2"));
  EXPECT_STREQ(sb.getText(), "one two one 2");
  EXPECT_TRUE(sb.replaceFirst("one", "1"));
  EXPECT_STREQ(sb.getText(), "1 two one 2");
  EXPECT_FALSE(sb.replaceFirst("three", "3"));
  EXPECT_FALSE(sb.replaceFirst("", "3"));
  EXPECT_FALSE(sb.replaceLast(nullptr, "3"));
  EXPECT_STREQ(sb.getText(), "1 two one 2");

  sb.setString("aaaa");
  EXPECT_EQ(sb.replaceAll("aa", "b"), 2u);
  EXPECT_STREQ(sb.getText(), "bb");
  EXPECT_EQ(sb.replaceAll("b", "bbb"), 2u);
  EXPECT_STREQ(sb.getText(), "bbbbbb");
  EXPECT_EQ(sb.replaceAll("x", "y"), 0u);
  sb.setString("a&amp;b&amp;");
  EXPECT_EQ(sb.replaceAllWithChar("&amp;", '&'), 2u);
  EXPECT_STREQ(sb.getText(), "a&b&");
}

TEST(StringBuffer, SearchesAndComparisons) {
  StringBuffer sb("Hello World");
  EXPECT_TRUE(sb.contains("o W"));
  EXPECT_FALSE(sb.contains("world"));
  EXPECT_TRUE(sb.containsIgnoreCase("WORLD"));
  EXPECT_FALSE(sb.contains(""));
  EXPECT_TRUE(sb.containsChar('W'));
  EXPECT_FALSE(sb.containsChar('w'));
  EXPECT_TRUE(sb.beginsWith("Hell"));
  EXPECT_TRUE(sb.beginsWithIgnoreCase("hELL"));
  EXPECT_FALSE(sb.beginsWith("Hello World!"));
  EXPECT_TRUE(sb.endsWith("rld"));
  EXPECT_FALSE(sb.endsWith("xrld"));
  EXPECT_TRUE(sb.equals("Hello World"));
  EXPECT_TRUE(sb.equalsIgnoreCase("hello world"));
  EXPECT_FALSE(sb.equalsIgnoreCase("hello worl"));
  StringBuffer empty;
  EXPECT_TRUE(empty.equals(nullptr));
  EXPECT_TRUE(empty.equalsIgnoreCase(nullptr));
  EXPECT_FALSE(sb.equals(nullptr));
}

TEST(StringBuffer, SevenBitAndIntegers) {
  StringBuffer sb("abc\xC3\xA9");
  EXPECT_FALSE(sb.isSevenBit());
  EXPECT_TRUE(sb.isSevenBit(3));
  EXPECT_FALSE(sb.isSevenBit(4));
  const struct {
    const char *text;
    int32_t value;
  } cases[] = {{"-0042x", -42},           {"+17", 17}, {"000", 0}, {"", 0}, {" 5", 0}, {"12a34", 12},
               {"2147483647", 2147483647}};
  for (const auto &c : cases) EXPECT_EQ(StringBuffer(c.text).toInt(), c.value) << c.text;
}

TEST(StringBuffer, CaseAndNameCharacters) {
  StringBuffer sb("ABC xyz \xC0\xC9\xD7\xDE\xDF\xE0\xFF");
  sb.toLowerCase();
  EXPECT_STREQ(sb.getText(), "abc xyz \xE0\xE9\xD7\xFE\xDF\xE0\xFF");
  sb.setString("a b!c-d.e:f_g/h\\i\xC3\xA9(j)");
  sb.keepNameChars();
  EXPECT_STREQ(sb.getText(), "ab!c-d.e:f_ghi\xC3\xA9j");
}

TEST(StringBuffer, XmlEntities) {
  StringBuffer sb("a<b & \"c\">");
  ASSERT_TRUE(sb.encodeXmlEntities());
  EXPECT_STREQ(sb.getText(), "a&lt;b &amp; &quot;c&quot;&gt;");
  sb.setString("&lt;x&gt;&amp;lt;&apos;&quot;&unknown;&");
  EXPECT_EQ(sb.decodeXmlEntities(), 5u);
  EXPECT_STREQ(sb.getText(), "<x>&lt;'\"&unknown;&");
  sb.setString("&amp;&amp;");
  EXPECT_EQ(sb.decodeXmlEntities(5), 1u);
  EXPECT_STREQ(sb.getText(), "&amp;&");
}

TEST(StringBuffer, LineEnds) {
  StringBuffer sb("a\nb\r\nc\rd\n");
  ASSERT_TRUE(sb.toCrlf());
  EXPECT_STREQ(sb.getText(), "a\r\nb\r\ncd\r\n");
  sb.setString("a\r\nb\r\rc\n\r");
  sb.crlfToLf();
  EXPECT_STREQ(sb.getText(), "a\nb\r\rc\n\r");
}

TEST(StringBuffer, ExpandEnvVars) {
  setTestVariable("SFX_SB_HOME", "C:\\Users\\me");
  StringBuffer sb("%sfx_sb_home%\\docs\\%SFX_SB_UNSET%end");
  ASSERT_TRUE(sb.expandEnvVars());
  EXPECT_STREQ(sb.getText(), "C:\\Users\\me\\docs\\end");
  // A sign without a partner ends the expansion; the rest stays.
  sb.setString("a%SFX_SB_HOME%b%c");
  ASSERT_TRUE(sb.expandEnvVars());
  EXPECT_STREQ(sb.getText(), "aC:\\Users\\meb%c");
  sb.setString("100%");
  ASSERT_TRUE(sb.expandEnvVars());
  EXPECT_STREQ(sb.getText(), "100%");
  sb.setString("%%x");
  ASSERT_TRUE(sb.expandEnvVars());
  EXPECT_STREQ(sb.getText(), "x");
}

// Japanese, Cyrillic, Greek and a character beyond the first plane, in UTF-8.
TEST(StringBuffer, ExpandEnvVarsKeepsEveryCharacterOfTheValue) {
  const char *value = "C:\\Users\\\xe7\x94\xb0\xe4\xb8\xad-\xd0\x98\xd0\xb2-\xce\xa9-\xf0\x9f\x98\x80";
  setTestVariableUtf8("SFX_SB_WIDE", value);
  StringBuffer sb("%sfx_sb_wide%\\Downloads");
  ASSERT_TRUE(sb.expandEnvVars());
  EXPECT_EQ(std::string(sb.getText()), std::string(value) + "\\Downloads");
  // The name itself may hold such characters.
  setTestVariableUtf8("SFX_\xce\xa9", "omega");
  sb.setString("[%SFX_\xce\xa9%]");
  ASSERT_TRUE(sb.expandEnvVars());
  EXPECT_STREQ(sb.getText(), "[omega]");
}

TEST(StringBuffer, SplitWithAndWithoutQuotes) {
  using Fields = std::vector<std::string>;
  EXPECT_EQ(splitFields("a,\"b,c\",d", ",", true, false), (Fields{"a", "\"b,c\"", "d"}));
  EXPECT_EQ(splitFields("a,\"b,c\",d", ",", false, false), (Fields{"a", "\"b", "c\"", "d"}));
  EXPECT_EQ(splitFields("a,,b,", ",", false, false), (Fields{"a", "", "b", ""}));
  EXPECT_EQ(splitFields("a b;c", " ;", false, false), (Fields{"a", "b", "c"}));
  EXPECT_EQ(splitFields("", ",", false, false), (Fields{}));
  EXPECT_EQ(splitFields("a\\,b,\\\"c,d\\", ",", true, true), (Fields{"a\\,b", "\\\"c", "d\\"}));
  EXPECT_EQ(splitFields("a\\,b", ",", false, false), (Fields{"a\\", "b"}));
}

TEST(StringBufferDeathTest, UseAfterDestructionIsFatal) {
  alignas(StringBuffer) unsigned char storage[sizeof(StringBuffer)];
  auto *sb = new (storage) StringBuffer("x");
  sb->~StringBuffer();
  // The sanitizer build may stop at its own check of the dead object first; both name the class.
  EXPECT_DEATH(sb->getSize(), "StringBuffer");
}
