#include "base/PathRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/PathQueries.h"
#include "unit/compress/RecordingLog.h"

namespace {
std::string sanitized(const char *path, bool withDeviceNames, RecordingLog *log = nullptr) {
  XString x;
  x.setUtf8(path);
  LogNull quiet;
  sanitizeWindowsPath(x, withDeviceNames, log ? static_cast<LogBase &>(*log) : quiet);
  return x.getUtf8();
}

std::string stripped(const char *path) {
  XString x;
  x.setUtf8(path);
  stripPathRoot(x);
  return x.getUtf8();
}

std::string joined(void (*join)(const XString &, const XString &, XString &), const char *dir, const char *path) {
  XString d, p, out;
  d.setUtf8(dir);
  p.setUtf8(path);
  out.setUtf8("stale");
  join(d, p, out);
  return out.getUtf8();
}

std::string longPath(const char *path) {
  XString p, out;
  p.setUtf8(path);
  makeLongPath(p, out);
  return out.getUtf8();
}
}  // namespace

TEST(SanitizeWindowsPath, ColonsKeepOnlyADrive) {
  EXPECT_EQ(sanitized("C:\\out\\a:b.txt", true), "C:\\out\\a_b.txt");
  EXPECT_EQ(sanitized("\\\\?\\C:\\out\\a:b", true), "\\\\?\\C:\\out\\a_b");
  EXPECT_EQ(sanitized("abcdefgh:x", false), "abcdefgh_x");
  EXPECT_EQ(sanitized("abcdefg:x", false), "abcdefg:x");
  EXPECT_EQ(sanitized(":abc:d", false), ":abc:d");
  EXPECT_EQ(sanitized("C:\\a", false), "C:\\a");
  // Lengths count UTF-16 units: four two-byte letters put the colon at index 4, not 8.
  EXPECT_EQ(sanitized("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9:x:y", false), "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9:x_y");
}

TEST(SanitizeWindowsPath, QuestionMarkOfTheLongPrefixSurvives) {
  EXPECT_EQ(sanitized("\\\\?\\C:\\x\\what?.txt", true), "\\\\?\\C:\\x\\what_.txt");
  EXPECT_EQ(sanitized("a?b\\\\?c?", false), "a_b\\\\?c_");
  EXPECT_EQ(sanitized("a|b*c<d>e\"f", false), "a_b_c_d_e_f");
  EXPECT_EQ(sanitized("line\r\nbreak\n", false), "linebreak");
  // Text that looks like the parking places of other implementations is left alone.
  EXPECT_EQ(sanitized("_COLON_:a:b", false), "_COLON_:a_b");
}

TEST(SanitizeWindowsPath, DeviceNamesOnlyWhenAsked) {
  EXPECT_EQ(sanitized("C:\\d\\con.txt", true), "C:\\d\\_con.txt");
  EXPECT_EQ(sanitized("C:\\d\\con.txt", false), "C:\\d\\con.txt");
  EXPECT_EQ(sanitized("C:\\d\\com10.txt", true), "C:\\d\\com10.txt");
  EXPECT_EQ(sanitized("C:\\d\\COM3.txt", true), "C:\\d\\_COM3.txt");
  EXPECT_EQ(sanitized("C:\\d\\clock$.x", true), "C:\\d\\_clock$.x");
  EXPECT_EQ(sanitized("lpt1.log", true), "_lpt1.log");
  EXPECT_EQ(sanitized("C:\\d\\con", true), "C:\\d\\con");
  EXPECT_EQ(sanitized("C:\\d\\Nul.tar.gz", true), "C:\\d\\_Nul.tar.gz");
  EXPECT_EQ(sanitized("C:\\d\\console.txt", true), "C:\\d\\console.txt");
  // The name is the one Windows resolves, whatever separators and trailing dots the text has.
  EXPECT_EQ(sanitized("C:/d/aux.txt. ", true), "C:/d/_aux.txt. ");
  EXPECT_EQ(sanitized("C:\\d\\x\\..\\prn.txt", true), "C:\\d\\x\\..\\_prn.txt");
  EXPECT_EQ(sanitized("C:\\d\\lpt", true), "C:\\d\\lpt");
  EXPECT_EQ(sanitized("C:\\d\\readme.txt", true), "C:\\d\\readme.txt");
}

TEST(SanitizeWindowsPath, EachRewriteIsLoggedWithThePathBefore) {
  RecordingLog log;
  EXPECT_EQ(sanitized("C:\\a:b|c", false, &log), "C:\\a_b_c");
  EXPECT_EQ(log.entries, (std::vector<std::string>{
                             "info:The : character is not allowed in Windows filenames..", "filename=C:\\a:b|c",
                             "modifiedFilename=C:\\a_b|c", "info:The | character is not allowed in Windows filenames.",
                             "filename=C:\\a_b|c"}));
  log.entries.clear();
  sanitized("abcdefgh:x?*<>\"", false, &log);
  EXPECT_EQ(log.entries, (std::vector<std::string>{
                             "info:The : character is not allowed in Windows filenames.", "filename=abcdefgh:x?*<>\"",
                             "modifiedFilename=abcdefgh_x?*<>\"",
                             "info:The ? character is not allowed in Windows filenames.", "filename=abcdefgh_x?*<>\"",
                             "info:The asterisk character is not allowed in Windows filenames.",
                             "filename=abcdefgh_x_*<>\"",
                             "info:The open-angle-bracket character is not allowed in Windows filenames.",
                             "filename=abcdefgh_x__<>\"",
                             "info:The close-angle-bracket character is not allowed in Windows filenames.",
                             "filename=abcdefgh_x___>\"",
                             "info:The double-quote character is not allowed in Windows filenames.",
                             "filename=abcdefgh_x____\""}));
  log.entries.clear();
  sanitized("\\\\?\\C:\\fine.txt", true, &log);
  EXPECT_TRUE(log.entries.empty());
}

TEST(StripPathRoot, DropsPrefixDriveAndShare) {
  EXPECT_EQ(stripped("\\\\?\\UNC\\srv\\share\\a\\b"), "a\\b");
  EXPECT_EQ(stripped("\\\\srv\\share\\\\a"), "a");
  EXPECT_EQ(stripped("\\\\srv\\share"), "");
  EXPECT_EQ(stripped("//srv"), "");
  EXPECT_EQ(stripped("\\\\?\\C:\\x\\y"), "x\\y");
  EXPECT_EQ(stripped("C:\\\\x"), "x");
  EXPECT_EQ(stripped("C:x"), "x");
  EXPECT_EQ(stripped("\\\\\\a"), "");
  EXPECT_EQ(stripped("/a/b"), "a\\b");
  EXPECT_EQ(stripped("rel/x"), "rel\\x");
}

TEST(JoinPaths, DirectoryAndNameOrRootlessPath) {
  EXPECT_EQ(joined(joinDirFileName, " C:/out/ ", "C:\\x\\y\\f.txt"), "C:\\out\\f.txt");
  EXPECT_EQ(joined(joinDirFileName, "C:\\out", "f.txt"), "C:\\out\\f.txt");
  EXPECT_EQ(joined(joinDirFileName, "  ", "C:\\x\\f.txt"), "f.txt");
  EXPECT_EQ(joined(joinDirPath, "C:/out", "\\\\?\\C:\\x\\y"), "C:\\out\\x\\y");
  EXPECT_EQ(joined(joinDirPath, "C:\\out\\", "\\\\srv\\share\\x"), "C:\\out\\x");
  EXPECT_EQ(joined(joinDirPath, "", "C:/x/y"), "C:\\x\\y");
}

TEST(MakeLongPath, PrefixesFullPathsAndUncShares) {
  EXPECT_EQ(longPath("\\\\server\\share\\x"), "\\\\?\\UNC\\server\\share\\x");
  EXPECT_EQ(longPath("\\\\?\\C:\\already"), "\\\\?\\C:\\already");
  XString current;
  getCurrentDir(current);
  std::string cur = current.getUtf8();
  for (char &c : cur) {
    if (c == '/') c = '\\';
  }
  if (cur.back() != '\\') cur += '\\';
  EXPECT_EQ(longPath("rel/f.txt"), "\\\\?\\" + cur + "rel\\f.txt");
}
