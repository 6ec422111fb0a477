// Settings: the default document, whole-document loads and the readings of the application.
#include "app/SfxConfig.h"

#include <gtest/gtest.h>

#include <string>

#include "base/StringBuffer.h"
#include "base/XString.h"

namespace {
bool load(SfxConfig &config, const char *text) {
  XString utf8;
  utf8.setUtf8(text);
  return config.LoadXml(utf8);
}

std::string xml(SfxConfig &config) {
  StringBuffer out;
  EXPECT_TRUE(config.GetXml(out));
  return out.getText();
}

std::string value(const SfxConfig &config, const char *key) {
  XString out;
  out.setUtf8("stale");
  config.GetValue(key, out);
  return out.getUtf8();
}
}  // namespace

TEST(SfxConfig, DefaultDocument) {
  SfxConfig config;
  EXPECT_EQ(xml(config),
            "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n"
            "<SfxConfig>\r\n"
            "    <AutoTemp>0</AutoTemp>\r\n"
            "    <DeleteAfterSetup>0</DeleteAfterSetup>\r\n"
            "    <ShowFin>0</ShowFin>\r\n"
            "    <ShowMain>1</ShowMain>\r\n"
            "    <ShowProgress>1</ShowProgress>\r\n"
            "    <WaitForSetup>1</WaitForSetup>\r\n"
            "    <Encryption>0</Encryption>\r\n"
            "    <KeyLength>128</KeyLength>\r\n"
            "</SfxConfig>\r\n");
  EXPECT_TRUE(config.GetShowMain());
  EXPECT_FALSE(config.HasUnzipTarget());
  EXPECT_EQ(config.GetIntValue("KeyLength"), 128);
}

TEST(SfxConfig, ALoadedDocumentReplacesTheDefaults) {
  SfxConfig config;
  ASSERT_TRUE(load(config,
                   "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<SfxConfig><AutoTemp>1</AutoTemp>"
                   "<IconFile>a.ico</IconFile></SfxConfig>"));
  EXPECT_FALSE(config.GetShowMain());
  EXPECT_FALSE(config.GetShowProgress());
  EXPECT_TRUE(config.GetAutoTemp());
  EXPECT_TRUE(config.HasUnzipTarget());
  EXPECT_EQ(config.GetIntValue("KeyLength"), 0);
  // Keys nobody reads stay in the document.
  EXPECT_EQ(xml(config),
            "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<SfxConfig>\r\n    <AutoTemp>1</AutoTemp>\r\n"
            "    <IconFile>a.ico</IconFile>\r\n</SfxConfig>\r\n");
}

TEST(SfxConfig, AFailedLoadKeepsTheCurrentDocument) {
  SfxConfig config;
  EXPECT_FALSE(load(config, ""));
  EXPECT_FALSE(load(config, "not xml at all"));
  EXPECT_TRUE(config.GetShowMain());
  EXPECT_EQ(config.GetIntValue("KeyLength"), 128);
}

TEST(SfxConfig, IntegerAndFlagReadings) {
  SfxConfig config;
  ASSERT_TRUE(load(config,
                   "<SfxConfig><ShowMain>true</ShowMain><ShowProgress>01</ShowProgress><ShowFin>-1</ShowFin>"
                   "<WaitForSetup>7</WaitForSetup><AutoExit>2</AutoExit><showmain>1</showmain></SfxConfig>"));
  EXPECT_FALSE(config.GetShowMain());  // the lower-case key is another key
  EXPECT_TRUE(config.GetShowProgress());
  EXPECT_TRUE(config.GetShowFin());
  EXPECT_TRUE(config.GetWaitForSetup());
  // AutoExit 2: non-zero as an integer, but not the text "1".
  EXPECT_EQ(config.GetIntValue("AutoExit"), 2);
  EXPECT_NE(value(config, "AutoExit"), "1");
  EXPECT_EQ(value(config, "Missing"), "");
}

TEST(SfxConfig, SettingAKeyAppendsItOnceAndThenChangesIt) {
  SfxConfig config;
  ASSERT_TRUE(load(config, "<SfxConfig><A>x</A></SfxConfig>"));
  EXPECT_TRUE(config.SetValue("Debug", "1"));
  EXPECT_TRUE(config.SetValue("Debug", "0"));
  EXPECT_TRUE(config.SetUnzipDir("C:\\Program Files\\\xE2\x82\xAC"));
  EXPECT_EQ(
      xml(config),
      "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<SfxConfig>\r\n    <A>x</A>\r\n"
      "    <Debug>0</Debug>\r\n    <UnzipDir>C:\\Program Files\\\xE2\x82\xAC</UnzipDir>\r\n</SfxConfig>\r\n");
  EXPECT_TRUE(config.HasUnzipTarget());
  XString dir;
  config.GetUnzipDir(dir);
  EXPECT_STREQ(dir.getUtf8(), "C:\\Program Files\\\xE2\x82\xAC");
}

TEST(SfxConfig, TextDropsALeadingByteOrderMark) {
  SfxConfig config;
  ASSERT_TRUE(config.SetValue("SetupExe", "\xEF\xBB\xBFsetup.exe"));
  EXPECT_EQ(value(config, "SetupExe"), "setup.exe");
}
