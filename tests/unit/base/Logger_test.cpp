#include "base/Logger.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/StringBuffer.h"
#include "base/XString.h"
#include "platform/win32.h"

namespace {
std::string text(Logger &log) {
  StringBuffer out("stale");
  log.copyLogText(out);
  return out.getText();
}

std::string xml(Logger &log) {
  StringBuffer out;
  log.copyLogXml(out);
  return out.getText();
}

std::string html(Logger &log) {
  StringBuffer out;
  log.copyLogHtml(out);
  return out.getText();
}

std::string readFile(const char *path) {
  std::string content;
  if (std::FILE *f = std::fopen(path, "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) content.append(buf, n);
    std::fclose(f);
  }
  return content;
}
}  // namespace

TEST(Logger, RendersASmallTreeInThreeForms) {
  Logger log;
  log.enterContext("Ctx", true);
  log.logData("tag", "value");
  log.logError("Failed to open file (2)");
  log.logInfo("a<b");
  log.logText("plain");
  log.leaveContext();
  EXPECT_EQ(
      text(log),
      "QuorvelLog:\r\n  Ctx:\r\n    tag: value\r\n    Failed to open file (2)\r\n    a<b\r\n    plain\r\n"
      "  --Ctx\r\n--QuorvelLog\r\n");
  EXPECT_EQ(
      xml(log),
      "<QuorvelLog>\r\n  <Ctx>\r\n    <tag>value</tag>\r\n    <error>Failed to open file (2)</error>\r\n"
      "    <info><![CDATA[a<b]]></info>\r\n    plain\r\n  </Ctx>\r\n</QuorvelLog>\r\n");
  EXPECT_EQ(html(log),
            "QuorvelLog:<blockquote>\r\nCtx:<blockquote>\r\ntag: value<br>\r\nFailed to open file (2)<br>\r\n"
            "a&lt;b<br>\r\nplain<br>\r\n</blockquote>\r\n</blockquote>\r\n");
}

TEST(Logger, TaggedFormWrapsOnlyWhatNeedsIt) {
  Logger log;
  log.logData("lines", "a\nb");
  log.logData("tab", "a\tb");
  log.logData("amp", "x & y");
  log.logData("ready", "<![CDATA[x]]>");
  log.logData("end", "a]]>b<");
  EXPECT_EQ(xml(log),
            "<QuorvelLog>\r\n  <lines><![CDATA[a\nb]]></lines>\r\n  <tab><![CDATA[a\tb]]></tab>\r\n"
            "  <amp><![CDATA[x & y]]></amp>\r\n  <ready><![CDATA[x]]></ready>\r\n"
            "  <end><![CDATA[a]]]]><![CDATA[>b<]]></end>\r\n</QuorvelLog>\r\n");
  log.clearLog();
  log.logData("q", "\"quoted\" & more");
  EXPECT_EQ(html(log),
            "QuorvelLog:<blockquote>\r\nq: &quot;quoted&quot; &amp; more<br>\r\n</blockquote>\r\n");
}

TEST(Logger, EmptyContextsAreDroppedExceptUnderTheRoot) {
  Logger log;
  log.enterContext("A");
  log.leaveContext();
  EXPECT_EQ(text(log), "QuorvelLog:\r\n  A:\r\n  --A\r\n--QuorvelLog\r\n");
  log.clearLog();
  log.enterContext("A");
  log.enterContext("B");
  log.leaveContext();
  log.leaveContext();
  EXPECT_EQ(text(log), "QuorvelLog:\r\n  A:\r\n  --A\r\n--QuorvelLog\r\n");
  // Leaving at the root changes nothing.
  log.leaveContext();
  log.logInfo("after");
  EXPECT_EQ(text(log), "QuorvelLog:\r\n  A:\r\n  --A\r\n  after\r\n--QuorvelLog\r\n");
}

TEST(Logger, TagsAreCleanedAndNullsShown) {
  Logger log;
  EXPECT_TRUE(log.logData(" two words ", "v"));
  EXPECT_FALSE(log.logData("   ", "lost"));
  EXPECT_FALSE(log.logData(nullptr, "lost"));
  EXPECT_TRUE(log.logData("\tnothing\r\n", nullptr));
  EXPECT_TRUE(log.logError(nullptr));
  EXPECT_TRUE(log.logInfo(nullptr));
  EXPECT_TRUE(log.logText(nullptr));
  EXPECT_EQ(text(log), "QuorvelLog:\r\n  two_words: v\r\n  nothing: (NULL)\r\n--QuorvelLog\r\n");
}

TEST(Logger, DataHelpersOfTheInterface) {
  Logger log;
  log.logDataInt("n", -5);
  log.logDataInt64("big", 1234567890123LL);
  log.logDataHex("h", 0xBEEF);
  EXPECT_TRUE(log.logWindowsError(0));
  log.logMemoryFailure(7, 100);
  log.logDataHexBytes("none", nullptr, 0);
  unsigned char bytes[18];
  for (int i = 0; i < 18; ++i) bytes[i] = uint8_t(i);
  log.logDataHexBytes("bytes", bytes, 18);
  StringBuffer sb("buffered");
  log.logData("sb", sb);
  EXPECT_EQ(text(log),
            "QuorvelLog:\r\n  n: -5\r\n  big: 1234567890123\r\n  h: 0xbeef\r\n  Memory allocation failed.\r\n"
            "  failurePoint: 7\r\n  numBytes: 100\r\n  none: (empty)\r\n"
            "  bytes: 0001 0203 0405 0607 0809 0A0B 0C0D 0E0F\n1011\r\n  sb: buffered\r\n--QuorvelLog\r\n");
}

TEST(Logger, WindowsErrorsAreNamedAndNumbered) {
  Logger log;
  log.logWindowsError(ERROR_ACCESS_DENIED);
  SetLastError(ERROR_FILE_NOT_FOUND);
  log.logLastWindowsError();
  std::string rendered = text(log);
  StringBuffer denied, missing;
  denied.appendWindowsError(ERROR_ACCESS_DENIED);
  missing.appendWindowsError(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(rendered, std::string("QuorvelLog:\r\n  WindowsError: ") + denied.getText() +
                          "\r\n  WindowsError: " + missing.getText() +
                          "\r\n  WindowsErrorCode: 0x2\r\n--QuorvelLog\r\n");
}

TEST(Logger, AContextTakesAtMostTenThousandChildren) {
  const char *path = "logger_limit_echo.txt";
  std::remove(path);
  Logger log;
  log.enterContext("Full");
  for (int i = 0; i < ErrorLog::kMaxChildren; ++i) log.logText("x");
  log.setLogFilePath(path);
  log.logInfo("dropped");
  log.enterContext("Refused");
  log.logData("inner", "dropped");
  log.leaveContext();
  log.logError("dropped too");
  log.leaveContext();
  log.logInfo("kept");
  std::string rendered = text(log);
  EXPECT_EQ(rendered.find("dropped"), std::string::npos);
  EXPECT_EQ(rendered.find("Refused"), std::string::npos);
  // The refused context's leave did not close "Full": "kept" lands under the root.
  EXPECT_NE(rendered.find("  --Full\r\n  kept\r\n--QuorvelLog"), std::string::npos);
  // The echo file still has every line.
  EXPECT_EQ(readFile(path),
            "    dropped\n    Refused:\n        inner: dropped\n        (leaveContext)\n    dropped too\n"
            "    (leaveContext)\nkept\n");
  std::remove(path);
}

TEST(Logger, EchoFileFollowsTheContexts) {
  const char *path = "logger_echo.txt";
  std::remove(path);
  Logger log;
  log.logInfo("not echoed");
  log.setLogFilePath(path);
  XString got;
  log.getLogFilePath(got);
  EXPECT_STREQ(got.getUtf8(), path);
  log.enterContext("Outer");
  log.logData("key", "v");
  log.enterContext("Inner");
  log.logError("bad");
  log.logText("text is not echoed");
  log.leaveContext();
  log.leaveContext();
  log.leaveContext();
  log.logInfo("end");
  log.setLogFilePath("");
  log.getLogFilePath(got);
  EXPECT_TRUE(got.isEmpty());
  log.logInfo("after");
  EXPECT_EQ(readFile(path),
            "Outer:\n    key: v\n    Inner:\n        bad\n        (leaveContext)\n    (leaveContext)\n"
            "(leaveContext)\nend\n");
  std::remove(path);
}

TEST(Logger, SaveLogXmlWritesTheTaggedForm) {
  const char *path = "logger_saved.xml";
  Logger log;
  log.enterContext("Save");
  log.logInfo("line");
  log.leaveContext();
  ASSERT_TRUE(log.saveLogXml(path));
  std::FILE *f = std::fopen(path, "rb");
  ASSERT_NE(f, nullptr);
  char buf[256] = {};
  size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  EXPECT_EQ(std::string(buf, n), xml(log));
  std::remove(path);
  EXPECT_FALSE(log.saveLogXml(""));
}
