#include "base/ContentCoding.h"

#include <gtest/gtest.h>

#include <string>

#include "base/DataBuffer.h"
#include "base/StringBuffer.h"

namespace {
struct Vector {
  const char *coding;
  const char *input;
  uint32_t inputLength;
  const char *expected;
};
// Computed by fixtures/gen_content_codings.py with Python's base64 and urllib.parse.quote.
const Vector kVectors[] = {
#include "fixtures/content_codings.inc"
};

std::string encode(const std::string &data, const char *coding) {
  DataBuffer buffer;
  buffer.append(data.data(), uint32_t(data.size()));
  StringBuffer out;
  buffer.encode(coding, out);
  return out.getText();
}

std::string qp(const std::string &data, const char *coding = "qp") { return encode(data, coding); }
}  // namespace

TEST(ContentCoding, Base64AndUrlAgreeWithPython) {
  for (const Vector &v : kVectors) {
    DataBuffer buffer;
    buffer.append(v.input, v.inputLength);
    StringBuffer out("prefix:");
    EXPECT_TRUE(buffer.encode(v.coding, out));
    EXPECT_EQ(std::string(out.getText()), std::string("prefix:") + v.expected)
        << v.coding << " of " << v.inputLength << " bytes";
  }
}

TEST(ContentCoding, UrlFlavoursDifferInTheirExtraBytes) {
  EXPECT_EQ(encode("\xFF~", "url_rfc1738"), "%FF%7E");
  EXPECT_EQ(encode("~", "url"), "~");
  EXPECT_EQ(encode("~", "url_rfc2396"), "~");
  EXPECT_EQ(encode("$+,", "url_rfc1738"), "$+,");
  EXPECT_EQ(encode("$+,", "url_rfc2396"), "%24%2B%2C");
  EXPECT_EQ(encode(std::string("a\0b", 3), "url_oauth"), "a%00b");
}

TEST(ContentCoding, NamesAreTrimmedAndCaseBlind) {
  EXPECT_EQ(encode("\x01\xAB", " HEX "), "01AB");
  EXPECT_EQ(encode("\x01\xAB", "hexidecimal"), "01AB");
  EXPECT_EQ(encode("abc", "Base-64"), "YWJj");
  EXPECT_EQ(encode(std::string("ab\0\0", 4), "ansi"), "ab");
  EXPECT_EQ(encode("abc", "asc"), "abc");
  EXPECT_EQ(encode("", "base64"), "");
  DataBuffer buffer;
  buffer.append("abc", 3);
  StringBuffer out("kept?");
  EXPECT_FALSE(buffer.encode("base32", out));
  EXPECT_EQ(out.getSize(), 0u);
  DataBuffer empty;
  out.setString("kept");
  EXPECT_TRUE(empty.encode("hex", out));
  EXPECT_STREQ(out.getText(), "kept");
}

TEST(ContentCoding, QuotedPrintableCopiesEncodesAndBreaks) {
  EXPECT_EQ(qp("a b"), "a b");
  EXPECT_EQ(qp("a "), "a=20");
  EXPECT_EQ(qp("a\t\r\nb"), "a=09\r\nb");
  EXPECT_EQ(qp("x=y\xE9\r\x7F\n"), "x=3Dy=E9=0D=7F=0A");
  EXPECT_EQ(qp(".dot\r\n.next"), "=2Edot\r\n=2Enext");
  EXPECT_EQ(qp("From me\r\nFrom\r\nFrog"), "=46rom me\r\nFrom\r\nFrog");
  EXPECT_EQ(qp(std::string(80, 'x')), std::string(75, 'x') + "=\r\n" + std::string(5, 'x'));
  EXPECT_EQ(qp(std::string(72, 'y') + "="), std::string(72, 'y') + "=3D=\r\n");
  // An encoded byte that would pass the line's end goes to the next line whole.
  EXPECT_EQ(qp(std::string(73, 'z') + "=z"), std::string(73, 'z') + "=\r\n=3Dz");
  // A hard line break right at the limit needs no soft one.
  EXPECT_EQ(qp(std::string(75, 'w') + "\r\nw"), std::string(75, 'w') + "\r\nw");
}

TEST(ContentCoding, QuotedPrintableLineLengthFromTheName) {
  std::string text(100, 'q');
  std::string out = qp(text, "  QP-40 ");
  EXPECT_EQ(out.substr(0, 42), std::string(39, 'q') + "=\r\n");
  std::string shortest = qp(text, "qp-3");
  EXPECT_EQ(shortest.substr(0, 12), std::string(9, 'q') + "=\r\n");
  EXPECT_EQ(qp(text, "qp-").substr(0, 78), std::string(75, 'q') + "=\r\n");
  ContentCoding coding;
  EXPECT_EQ(coding.getMaxLineLength(), 76u);
  coding.setMaxLineLength(4);
  EXPECT_EQ(coding.getMaxLineLength(), 10u);
}
