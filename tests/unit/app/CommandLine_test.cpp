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

std::string tempPath(const char *name) {
  char dir[1024];
  DWORD n = GetTempPathA(sizeof dir, dir);
  return std::string(dir, n) + name;
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the parser with a log and gives back what it wrote.
std::string parseWithLog(const std::string &options) {
  std::string log = tempPath("sfx_cmdline_test.log");
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
  std::string log = tempPath("sfx_cmdline_test.log");
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
  std::string log = tempPath("sfx_cmdline_test.log");
  EXPECT_EQ(parseWithLog("-verbose -pwd"), "command line: -log " + log + " -verbose -pwd\r\nMissing argument for -pwd\n");
}

TEST(CommandLine, LogOptionIgnoresCaseAndKeepsQuotes) {
  std::string log = tempPath("sfx_cmdline_case.log");
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
