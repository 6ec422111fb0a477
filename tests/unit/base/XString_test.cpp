#include "base/XString.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"

namespace {
std::u16string utf16(const XString &x) { return x.getUtf16(); }

// Pages the tests know: UTF-8 (the Linux build) or Windows-1252 (Wine's default).
bool ansiIsUtf8() { return GetACP() == 65001; }
}  // namespace

TEST(XString, FormsConvertLazilyAndStayCurrent) {
  XString x;
  EXPECT_TRUE(x.isEmpty());
  EXPECT_STREQ(x.getUtf8(), "");
  EXPECT_EQ(utf16(x), u"");
  x.setUtf8("h\xC3\xA9llo \xF0\x9F\x98\x80");
  EXPECT_EQ(utf16(x), u"h\u00E9llo \U0001F600");
  x.setUtf16(u"\u65E5\u672C");
  EXPECT_STREQ(x.getUtf8(), "\xE6\x97\xA5\xE6\x9C\xAC");
  x.setAnsi("plain");
  EXPECT_STREQ(x.getUtf8(), "plain");
  EXPECT_EQ(utf16(x), u"plain");
  EXPECT_FALSE(x.isEmpty());
  x.setUtf8(nullptr);
  EXPECT_TRUE(x.isEmpty());
}

TEST(XString, ByteOrderMarksAreDropped) {
  XString with, without;
  with.setUtf8(
      "\xEF\xBB\xBF"
      "abc");
  without.setUtf8("abc");
  EXPECT_STREQ(with.getUtf8(), without.getUtf8());
  XString appended;
  appended.appendUtf8(
      "\xEF\xBB\xBF"
      "x");
  EXPECT_STREQ(appended.getUtf8(), "x");
  EXPECT_TRUE(
      with.equals("\xEF\xBB\xBF"
                  "abc"));
  EXPECT_TRUE(
      with.beginsWith("\xEF\xBB\xBF"
                      "ab"));
  XString bomOnly;
  bomOnly.setUtf8("\xEF\xBB\xBF");
  EXPECT_TRUE(bomOnly.isEmpty());
}

TEST(XString, NumberOfCharacters) {
  XString x;
  x.setUtf8("\xC3\xA9");
  EXPECT_EQ(x.getNumChars(), 1u);
  x.setUtf8("a\xF0\x9F\x98\x80");
  EXPECT_EQ(x.getNumChars(), 3u);  // a surrogate pair is two units
  x.setAnsi("abcd");
  EXPECT_EQ(x.getNumChars(), 4u);
}

TEST(XString, AnsiSafety) {
  XString ascii, accented, cjk, emoji;
  ascii.setUtf8("C:\\temp\\file.txt");
  accented.setUtf16(u"caf\u00E9");
  cjk.setUtf8("\xE6\x97\xA5");
  emoji.setUtf16(u"\U0001F600");
  EXPECT_TRUE(ascii.ansiSafe());
  EXPECT_TRUE(accented.ansiSafe());
  EXPECT_EQ(cjk.ansiSafe(), ansiIsUtf8());
  EXPECT_EQ(emoji.ansiSafe(), ansiIsUtf8());
  // The answer is cached and the forms are untouched.
  EXPECT_EQ(cjk.ansiSafe(), ansiIsUtf8());
  EXPECT_STREQ(cjk.getUtf8(), "\xE6\x97\xA5");
  if (!ansiIsUtf8()) {
    EXPECT_STREQ(accented.getAnsi(), "caf\xE9");
    EXPECT_STREQ(cjk.getAnsi(), "?");
  }
  XString fromAnsi;
  fromAnsi.setAnsi("anything");
  EXPECT_TRUE(fromAnsi.ansiSafe());
}

TEST(XString, ALossyAnsiFormNeverFeedsTheOthers) {
  XString x;
  x.setUtf16(u"\u00E9\u65E5");
  x.getAnsi();
  EXPECT_STREQ(x.getUtf8(), "\xC3\xA9\xE6\x97\xA5");
}

TEST(XString, SearchesCountInUtf16Units) {
  XString x;
  x.setUtf8(
      "a\xF0\x9F\x98\x80\xC3\xA9"
      "bc");
  EXPECT_EQ(x.indexOf("bc"), 4);
  EXPECT_EQ(x.indexOf("\xC3\xA9"), 3);
  EXPECT_EQ(x.indexOf("a"), 0);
  EXPECT_EQ(x.indexOf("zz"), -1);
  EXPECT_EQ(x.indexOf(""), -1);
  EXPECT_TRUE(x.contains("bc"));
  EXPECT_TRUE(
      x.endsWith("\xC3\xA9"
                 "bc"));
  EXPECT_TRUE(x.beginsWith("A", true));
  EXPECT_FALSE(x.beginsWith("A"));
  EXPECT_TRUE(
      x.containsIgnoreCase("\xC3\xA9"
                           "BC"));
  XString wide;
  wide.setUtf16(u"\u65E5\u672C");
  // Both would be "??" in a lossy ANSI form; they must not match each other.
  EXPECT_FALSE(wide.containsIgnoreCase("\xE6\x9C\x88\xE6\x9C\x88"));
  XString empty;
  EXPECT_TRUE(empty.equals(nullptr));
  EXPECT_FALSE(x.equals(nullptr));
}

TEST(XString, EditsMakeTheirFormTheOnlyCurrentOne) {
  XString x;
  x.setUtf8("one/two/one");
  x.getUtf16();
  EXPECT_TRUE(x.replaceLast("one", "1"));
  EXPECT_EQ(utf16(x), u"one/two/1");
  EXPECT_TRUE(x.replaceFirst("one", "\xC3\xA9"));
  EXPECT_EQ(utf16(x), u"\u00E9/two/1");
  EXPECT_FALSE(x.replaceFirst("nine", "9"));
  x.replaceChar('/', '\\');
  EXPECT_STREQ(x.getUtf8(), "\xC3\xA9\\two\\1");
  x.removeChar('\\');
  EXPECT_STREQ(x.getUtf8(), "\xC3\xA9two1");
  x.shortenBy(2);
  EXPECT_STREQ(x.getUtf8(), "\xC3\xA9tw");
  x.setUtf8("ab\xF0\x9F\x98\x80");
  x.shortenBy(1);  // would split the pair: its first half goes too
  EXPECT_STREQ(x.getUtf8(), "ab");
  x.shortenBy(5);
  EXPECT_TRUE(x.isEmpty());
  x.setUtf16(u"  padded \r\n");
  x.trim();
  EXPECT_STREQ(x.getUtf8(), "padded");
  EXPECT_EQ(utf16(x), u"padded");
}

TEST(XString, AppendingCopyingAndChangingTheBuffer) {
  XString a, b;
  a.setAnsi("ansi ");
  a.appendUtf8("utf8 \xC3\xA9 ");
  a.appendUtf16(u"wide \u00FC");
  EXPECT_STREQ(a.getUtf8(), "ansi utf8 \xC3\xA9 wide \xC3\xBC");
  b.setUtf16(u"<");
  b.appendXString(a);
  b.appendXString(b);
  EXPECT_EQ(utf16(b), u"<ansi utf8 \u00E9 wide \u00FC<ansi utf8 \u00E9 wide \u00FC");
  XString copy;
  ASSERT_TRUE(copy.copyFrom(b));
  EXPECT_STREQ(copy.getUtf8(), b.getUtf8());
  StringBuffer &buffer = copy.getUtf8BufferForChange();
  buffer.setString("changed");
  EXPECT_EQ(utf16(copy), u"changed");
  StringBuffer adopted("taken");
  copy.setAnsiBuffer(adopted);
  EXPECT_TRUE(adopted.isEmpty());
  EXPECT_STREQ(copy.getUtf8(), "taken");
}

TEST(StringBuffer, ReplaceCharWorksOnCharactersOfUtf8Text) {
  StringBuffer sb("caf\xC3\xA9/x");
  EXPECT_EQ(sb.replaceChar('/', '\\'), 1u);
  EXPECT_STREQ(sb.getText(), "caf\xC3\xA9\\x");
  EXPECT_EQ(sb.replaceChar('\xE9', 'e'), 1u);
  EXPECT_STREQ(sb.getText(), "cafe\\x");
  StringBuffer latin("caf\xE9");  // not UTF-8: changed byte by byte
  EXPECT_EQ(latin.replaceChar('\xE9', 'e'), 1u);
  EXPECT_STREQ(latin.getText(), "cafe");
}
