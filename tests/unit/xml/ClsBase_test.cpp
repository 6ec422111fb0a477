#include "xml/ClsBase.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/XString.h"

namespace {
std::string logText(ClsBase &object) {
  XString text;
  object.getLogText(text);
  return text.getUtf8();
}
}  // namespace

TEST(ClsBase, MethodEntryLogOpensAStandardContext) {
  ClsBase object;
  object.setVerbose(true);
  EXPECT_TRUE(object.getVerbose());
  object.methodEntryLog("LoadXml2");
  std::string text = logText(object);
  EXPECT_EQ(text.rfind("QuorvelLog:\r\n  LoadXml2:\r\n    DllDate: ", 0), 0u) << text;
  EXPECT_NE(text.find("\r\n    QuorvelVersion: "), std::string::npos);
  EXPECT_NE(text.find("\r\n    Username: "), std::string::npos);
  std::string bits = sizeof(void *) == 8 ? "64-bit" : "32-bit";
  EXPECT_NE(text.find("\r\n    Architecture: Little Endian; " + bits + "\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n    Language: "), std::string::npos);
  EXPECT_NE(text.find("\r\n    VerboseLogging: 1\r\n"), std::string::npos);
  // A second operation starts from a clear log.
  object.methodEntryLog("Again");
  EXPECT_EQ(logText(object).find("LoadXml2"), std::string::npos);
}

TEST(ClsBase, MethodErrorsAndExceptionsAreLogged) {
  ClsBase object;
  object.logMethodError("SaveXml", "Failed to write complete file (7)");
  std::string text = logText(object);
  EXPECT_NE(text.find("    Failed to write complete file (7)\r\n  --SaveXml\r\n--QuorvelLog\r\n"),
            std::string::npos)
      << text;
  XString what;
  what.setUtf8("caf\xC3\xA9");
  object.logException(what);
  XString xml, html;
  object.getLogXml(xml);
  object.getLogHtml(html);
  EXPECT_TRUE(xml.contains("  <Exception>caf\xC3\xA9</Exception>\r\n</QuorvelLog>"));
  EXPECT_TRUE(html.contains("Exception: caf\xC3\xA9<br>"));
}

TEST(ClsBase, LogFileSettings) {
  ClsBase object;
  XString path, got;
  path.setUtf8("clsbase_echo.txt");
  object.setLogFilePath(path);
  object.getLogFilePath(got);
  EXPECT_STREQ(got.getUtf8(), "clsbase_echo.txt");
  path.clear();
  object.setLogFilePath(path);
  object.getLogFilePath(got);
  EXPECT_TRUE(got.isEmpty());

  XString blank;
  blank.setUtf8("   ");
  EXPECT_FALSE(object.saveLogXml(blank));
  XString target;
  target.setUtf8("  clsbase_saved.xml ");
  object.methodEntryLog("Save");
  EXPECT_TRUE(object.saveLogXml(target));
  std::FILE *f = std::fopen("clsbase_saved.xml", "rb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  std::remove("clsbase_saved.xml");
}
