#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/RunLog.h"
#include "app/SfxConfig.h"
#include "base/XString.h"
#include "platform/win32.h"
#include "unit/test_env.h"

namespace {

std::string setting(const char *key) {
  XString value;
  g_config.GetValue(key, value);
  return value.getUtf8();
}

std::string tempPath(const std::string &name) {
  char dir[1024];
  DWORD n = GetTempPathA(sizeof dir, dir);
  return std::string(dir, n) + name;
}

// Tests run side by side, each in a process of its own, so a shared log name
// let one test read or remove another's log.
std::string logPathForThisTest() {
  return tempPath(std::string("sfx_") + testing::UnitTest::GetInstance()->current_test_info()->name() + ".log");
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the parser with a log and gives back what it wrote.
std::string parseWithLog(const std::string &options) {
  std::string log = logPathForThisTest();
  std::string line = "-log " + log + " " + options;
  ParseCommandLine(line.c_str());
  runLogClose();
  std::string text = readFile(log);
  std::remove(log.c_str());
  return text;
}

}  // namespace

TEST(CommandLine, OptionsOverrideTheSettings) {
  setTestVariable("SFX_CMDLINE_TEST", "expanded");
  g_config.SetValue("Cleanup", "0");
  ParseCommandLine("stray -unknown -unzipDir \"C:\\My Dir\\x'y'\" -PWD 'secr' "
                   "-ap \"/q \\\"%SFX_CMDLINE_TEST%\\\" 'k'\" -cleanup -Verbose -debug");
  EXPECT_EQ(setting("UnzipDir"), "C:\\My Dir\\xy");
  EXPECT_EQ(setting("DefaultDir"), "C:\\My Dir\\xy");
  EXPECT_STREQ(g_password.getText(), "secr");
  EXPECT_EQ(setting("SetupExeArgs"), "/q \"expanded\" 'k'");
  EXPECT_EQ(setting("Cleanup"), "1");
  EXPECT_EQ(setting("Verbose"), "1");
  EXPECT_EQ(setting("Debug"), "1");
}

TEST(CommandLine, ValuesAreTakenWhateverTheyLookLike) {
  ParseCommandLine("-pwd \"two words\"");
  EXPECT_STREQ(g_password.getText(), "two words");
  g_password.setString("before");
  // Two blanks: the value is the empty token between them.
  ParseCommandLine("-pwd  secret");
  EXPECT_STREQ(g_password.getText(), "");
  // A value may begin with a dash.
  ParseCommandLine("-unzipDir -cleanup");
  EXPECT_EQ(setting("UnzipDir"), "-cleanup");
  // A backslash before the closing quote escapes it: the rest of the line is the value.
  ParseCommandLine("-unzipDir \"C:\\dir\\\" -verbose");
  EXPECT_EQ(setting("UnzipDir"), "C:\\dir\\ -verbose");
  // The later of two wins.
  ParseCommandLine("-unzipDir first -unzipDir second");
  EXPECT_EQ(setting("UnzipDir"), "second");
}

TEST(CommandLine, LogShowsTheLineAndTheEchoButNoPassword) {
  std::string text = parseWithLog("-pwd \"top secret\" -unzipDir \"C:\\a=b\xc3\xa9 \" -ap x -unzipDir");
  std::string log = logPathForThisTest();
  EXPECT_EQ(text, "command line: -log " + log + " -pwd ******** -unzipDir \"C:\\a=b\xc3\xa9 \" -ap x -unzipDir\r\n"
                  "-pwd ********\n"
                  "-unzipDir \"C:\\a=b\xc3\xa9 \"\n"
                  "quoted-printable: \"C:\\a=3Db=C3=A9 \"\n"
                  "-ap x\n"
                  "Missing argument for -unzipDir\n");
  EXPECT_EQ(text.find("top secret"), std::string::npos);
  EXPECT_EQ(text.find("secret"), std::string::npos);
}

TEST(CommandLine, MissingValuesAreEchoedAndALogWithoutPathIsSilent) {
  std::string log = logPathForThisTest();
  EXPECT_EQ(parseWithLog("-verbose -pwd"), "command line: -log " + log + " -verbose -pwd\r\nMissing argument for -pwd\n");
}

TEST(CommandLine, LogOptionIgnoresCaseAndKeepsQuotes) {
  std::string log = logPathForThisTest();
  ParseCommandLine(("-LOG " + log + " -ap").c_str());
  EXPECT_TRUE(runLogIsOpen());
  runLogClose();
  EXPECT_EQ(readFile(log), "command line: -LOG " + log + " -ap\r\nMissing argument for -ap\n");
  std::remove(log.c_str());

  // Quotes stay in a log path, so no such file can be made.
  ParseCommandLine(("-log \"" + log + "\"").c_str());
  EXPECT_FALSE(runLogIsOpen());
  EXPECT_FALSE(std::ifstream(log).good());
  // "-log" last on the line does nothing.
  ParseCommandLine("-log");
  EXPECT_FALSE(runLogIsOpen());
}

TEST(CommandLine, ProgramNameIsCutAsWindowsCutsIt) {
  EXPECT_STREQ(skipProgramName("sfx.exe -unzipDir x"), "-unzipDir x");
  EXPECT_STREQ(skipProgramName("\"C:\\Program Files\\sfx.exe\"  \t-debug"), "-debug");
  // Quotes may stand inside the name; the blank inside them does not end it.
  EXPECT_STREQ(skipProgramName("C:\\a\" b\"\\sfx.exe -log l"), "-log l");
  EXPECT_STREQ(skipProgramName("\"\xe6\x97\xa5\xe6\x9c\xac\\sfx.exe\""), "");
  EXPECT_STREQ(skipProgramName("\"unterminated -verbose"), "");
  EXPECT_STREQ(skipProgramName(""), "");
  EXPECT_STREQ(skipProgramName(nullptr), "");
}

// Japanese, Cyrillic, Greek and an emoji: what the wide command line carries reaches the
// settings unchanged.
TEST(CommandLine, Utf8ValuesReachTheSettingsUnchanged) {
  const std::string dir = "C:\\uni \xe6\x97\xa5\xe6\x9c\xac-\xd0\x96-\xce\xa9-\xf0\x9f\x98\x80";
  setTestVariableUtf8("SFX_CMDLINE_WIDE", "\xd0\x9f\xd1\x80\xd0\xb8\xf0\x9f\x98\x80");
  ParseCommandLine(("-unzipDir \"" + dir + "\" -ap \"/name=%SFX_CMDLINE_WIDE%\"").c_str());
  EXPECT_EQ(setting("UnzipDir"), dir);
  EXPECT_EQ(setting("DefaultDir"), dir);
  EXPECT_EQ(setting("SetupExeArgs"), "/name=\xd0\x9f\xd1\x80\xd0\xb8\xf0\x9f\x98\x80");
}

// Keys of existing payloads come from the ANSI bytes of the password, so "Gr\u00fc\u00dfe" must
// become those bytes; ASCII passwords are the same in every code page.
TEST(CommandLine, PasswordBecomesAnsiText) {
  ParseCommandLine("-pwd Gr\xc3\xbc\xc3\x9f" "e");
  if (GetACP() == 1252) {
    EXPECT_STREQ(g_password.getText(), "Gr\xfc\xdf" "e");
  } else if (GetACP() == 65001) {
    EXPECT_STREQ(g_password.getText(), "Gr\xc3\xbc\xc3\x9f" "e");
  }
  ParseCommandLine("-pwd 'plain-ascii'");
  EXPECT_STREQ(g_password.getText(), "plain-ascii");
}

TEST(CommandLine, LogGoesToAPathTheAnsiCodePageLacks) {
  char16_t dir[1024] = {};
  DWORD n = GetTempPathW(1024, reinterpret_cast<LPWSTR>(dir));
  XString name;
  std::u16string plain = std::u16string(dir, n) + u"sfx-\u65e5\u672c-\u0416-\u03a9-\U0001F600.log";
  name.setUtf16(plain.c_str());
  ParseCommandLine((std::string("-unzipDir \xce\xa9 -log ") + name.getUtf8()).c_str());
  ASSERT_TRUE(runLogIsOpen());
  runLogReopen(9);
  runLogClose();
  std::FILE *f = _wfopen(reinterpret_cast<LPCWSTR>(plain.c_str()), reinterpret_cast<LPCWSTR>(u"rb"));
  ASSERT_NE(f, nullptr);
  char text[1024] = {};
  size_t got = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  DeleteFileW(reinterpret_cast<LPCWSTR>(plain.c_str()));
  EXPECT_EQ(std::string(text, got), std::string("command line: -unzipDir \xce\xa9 -log ") + name.getUtf8() +
                                        "\r\n-unzipDir \xce\xa9\nquoted-printable: =CE=A9\n"
                                        "Log opened from internal point 9\r\n");
}

TEST(CommandLine, PolicyOptionsBecomeSettings) {
  g_config.SetValue(SfxConfig::kOverwrite, "");
  g_config.SetValue(SfxConfig::kLicenseAccepted, "0");
  std::string log = logPathForThisTest();
  EXPECT_EQ(parseWithLog("-ACCEPTLICENSE -overwrite \"never\" -overwrite"),
            "command line: -log " + log + " -ACCEPTLICENSE -overwrite \"never\" -overwrite\r\n-overwrite \"never\"\n"
            "Missing argument for -overwrite\n");
  XString overwrite;
  g_config.GetValue(SfxConfig::kOverwrite, overwrite);
  // Quotes are the shell's grouping, not part of the word; checked when the extraction starts.
  EXPECT_STREQ(overwrite.getUtf8(), "never");
  EXPECT_TRUE(g_config.GetFlag(SfxConfig::kLicenseAccepted));
  g_config.SetValue(SfxConfig::kOverwrite, "");
  g_config.SetValue(SfxConfig::kLicenseAccepted, "0");
}
