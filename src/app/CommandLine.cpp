#include "app/CommandLine.h"

#include "app/AppState.h"
#include "app/RunLog.h"
#include "app/SfxConfig.h"
#include "base/DataBuffer.h"
#include "base/ExtPtrArray.h"
#include "base/XString.h"

namespace {

enum class ValueOption { None, UnzipDir, Password, SetupArgs, Overwrite };

ValueOption valueOptionOf(const StringBuffer &token) {
  if (token.equalsIgnoreCase("-unzipDir")) return ValueOption::UnzipDir;
  if (token.equalsIgnoreCase("-pwd")) return ValueOption::Password;
  if (token.equalsIgnoreCase("-ap")) return ValueOption::SetupArgs;
  if (token.equalsIgnoreCase("-overwrite")) return ValueOption::Overwrite;
  return ValueOption::None;
}

const char *nameOf(ValueOption option) {
  switch (option) {
    case ValueOption::UnzipDir: return "-unzipDir";
    case ValueOption::Password: return "-pwd";
    case ValueOption::Overwrite: return "-overwrite";
    default: return "-ap";
  }
}

void setConfig(const char *key, const StringBuffer &value) {
  XString text;
  text.setUtf8(value.getText());
  g_config.SetValue(key, text.getUtf8());
}

// Keys of payloads built for earlier stubs were derived from the ANSI bytes of the password.
void setPassword(const StringBuffer &value) {
  XString text;
  text.setUtf8(value.getText());
  g_password.setString(text.getAnsi());
}

void removeQuotes(StringBuffer &value) {
  value.removeChar('"');
  value.removeChar('\'');
}

// The echo shows each value as it was split off the line, except the password, which never
// reaches the log in clear.
void echoValue(StringBuffer &echo, ValueOption option, const StringBuffer &value) {
  echo.append(nameOf(option));
  echo.appendChar(' ');
  if (option == ValueOption::Password) {
    echo.append("********");
  } else {
    echo.appendBuffer(value);
  }
  echo.appendChar('\n');
  if (option != ValueOption::UnzipDir) return;
  // Shows the exact bytes of a directory whose code page or invisible characters puzzle.
  DataBuffer bytes;
  bytes.append(value.getText(), value.getSize());
  echo.append("quoted-printable: ");
  bytes.encode("qp", echo);
  echo.appendChar('\n');
}

void applyValue(ValueOption option, StringBuffer &value) {
  value.trim();
  switch (option) {
    case ValueOption::UnzipDir:
      removeQuotes(value);
      setConfig("UnzipDir", value);
      setConfig("DefaultDir", value);
      break;
    case ValueOption::Password:
      removeQuotes(value);
      setPassword(value);
      break;
    case ValueOption::SetupArgs:
      // Backslash-quote survives as a plain quote; every other double quote only groups.
      value.replaceAll("\\\"", "_ESCAPED_QUOTE_");
      value.removeChar('"');
      value.replaceAll("_ESCAPED_QUOTE_", "\"");
      value.expandEnvVars();
      setConfig("SetupExeArgs", value);
      break;
    case ValueOption::Overwrite:
      // Checked when the extraction starts, where a wrong word is reported.
      removeQuotes(value);
      setConfig(SfxConfig::kOverwrite, value);
      break;
    case ValueOption::None: break;
  }
}

// The line as the log shows it: the token after each "-pwd" is masked, so that no password
// reaches the log in clear. Adjacent separators give empty tokens, so token i starts right
// after the separator that ended token i-1.
void maskPasswords(const char *commandLine, const ExtPtrArray &tokens, StringBuffer &shown) {
  const char *at = commandLine;
  bool afterPwd = false;
  for (int i = 0; i < tokens.getCount(); ++i) {
    const StringBuffer &token = *static_cast<const StringBuffer *>(tokens.get(i));
    shown.append(afterPwd ? "********" : token.getText());
    at += token.getSize();
    if (*at != 0) shown.appendChar(*at++);
    StringBuffer name(token.getText());
    name.trim();
    afterPwd = name.equalsIgnoreCase("-pwd");
  }
}

}  // namespace

void ParseCommandLine(const char *commandLine) {
  if (commandLine == nullptr) commandLine = "";
  StringBuffer line(commandLine);
  ExtPtrArray tokens;
  line.split(" \t", true, true, tokens);
  StringBuffer shownLine;
  maskPasswords(commandLine, tokens, shownLine);
  StringBuffer echo;
  int count = tokens.getCount();
  for (int i = 0; i < count; ++i) {
    StringBuffer &token = *static_cast<StringBuffer *>(tokens.get(i));
    token.trim();
    if (!token.beginsWith("-")) continue;
    StringBuffer *next = i + 1 < count ? static_cast<StringBuffer *>(tokens.get(i + 1)) : nullptr;
    ValueOption option = valueOptionOf(token);
    if (option != ValueOption::None) {
      if (next == nullptr) {
        echo.append("Missing argument for ");
        echo.append(nameOf(option));
        echo.appendChar('\n');
        continue;
      }
      echoValue(echo, option, *next);
      applyValue(option, *next);
      ++i;
    } else if (token.equalsIgnoreCase("-cleanup")) {
      g_config.SetValue("Cleanup", "1");
    } else if (token.equalsIgnoreCase("-verbose")) {
      g_config.SetValue("Verbose", "1");
    } else if (token.equalsIgnoreCase("-debug")) {
      g_config.SetValue("Debug", "1");
    } else if (token.equalsIgnoreCase("-silent")) {
      g_config.SetValue("Silent", "1");
    } else if (token.equalsIgnoreCase("-acceptLicense")) {
      g_config.SetValue(SfxConfig::kLicenseAccepted, "1");
    } else if (token.equalsIgnoreCase("-help") || token.equals("-?")) {
      g_helpRequested = true;
    } else if (token.equalsIgnoreCase("-log") && next != nullptr) {
      next->trim();
      if (runLogOpen(next->getText())) runLogWrite("command line: %s\r\n", shownLine.getText());
      ++i;
    }
  }
  if (runLogIsOpen() && !echo.isEmpty()) runLogWriteText(echo.getText());
  tokens.deleteAll();
}

const char *skipProgramName(const char *commandLine) {
  if (commandLine == nullptr) return "";
  const char *at = commandLine;
  bool quoted = false;
  for (; *at != 0; ++at) {
    if (*at == '"') quoted = !quoted;
    if (!quoted && (*at == ' ' || *at == '\t')) break;
  }
  while (*at == ' ' || *at == '\t') ++at;
  return at;
}
