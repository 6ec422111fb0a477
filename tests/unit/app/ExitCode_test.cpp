#include "app/ExitCode.h"

#include <gtest/gtest.h>

#include "base/StringBuffer.h"
#include "platform/win32.h"

namespace {
RunFailure classify(const char *prefix, DWORD windowsError) {
  StringBuffer text(prefix);
  if (windowsError != 0) text.appendWindowsError(windowsError);
  return classifyExtractionError(text);
}
}  // namespace

TEST(ExitCode, EveryReasonHasItsDocumentedCode) {
  EXPECT_EQ(exitCodeFor(RunFailure::None), 0);
  EXPECT_EQ(exitCodeFor(RunFailure::Cancelled), 1223);
  EXPECT_EQ(exitCodeFor(RunFailure::Password), 86);
  EXPECT_EQ(exitCodeFor(RunFailure::Damaged), 13);
  EXPECT_EQ(exitCodeFor(RunFailure::DiskFull), 112);
  EXPECT_EQ(exitCodeFor(RunFailure::AccessDenied), 5);
  EXPECT_EQ(exitCodeFor(RunFailure::SetupMissing), 2);
  EXPECT_EQ(exitCodeFor(RunFailure::Other), 1);
}

// The reader's own texts, with the system's text for the error behind a failed write, as the
// extraction's logger collects them.
TEST(ExitCode, ExtractionErrorsAreTracedToTheirCause) {
  EXPECT_EQ(classify("Failed to write file data.\r\nWindowsError: ", ERROR_DISK_FULL), RunFailure::DiskFull);
  EXPECT_EQ(classify("Failed to open file.\r\nWindowsError: ", ERROR_ACCESS_DENIED), RunFailure::AccessDenied);
  EXPECT_EQ(classify("Failed to open file.\r\nWindowsError: ", ERROR_SHARING_VIOLATION), RunFailure::AccessDenied);
  EXPECT_EQ(classify("Cannot overwrite a.txt because it is currently in use", 0), RunFailure::AccessDenied);
  EXPECT_EQ(classify("Failed to ensure directory exists.\r\nWindowsError: ", ERROR_INVALID_NAME), RunFailure::Other);
  EXPECT_EQ(classify("Refused an entry name that is not a relative path inside the unzip directory.", 0),
            RunFailure::Damaged);
  EXPECT_EQ(classify("File marker is invalid.", 0), RunFailure::Damaged);
  EXPECT_EQ(classify("Failed to inflate compressed data.", 0), RunFailure::Damaged);
  EXPECT_EQ(classify("", 0), RunFailure::Damaged);
  EXPECT_EQ(failureForWindowsError(ERROR_DISK_FULL), RunFailure::DiskFull);
  EXPECT_EQ(failureForWindowsError(ERROR_WRITE_PROTECT), RunFailure::AccessDenied);
  EXPECT_EQ(failureForWindowsError(ERROR_PATH_NOT_FOUND), RunFailure::Other);
}

// One process, one run: the first reason stays, and it outranks the setup program's code.
TEST(ExitCode, TheFirstFailureDecidesTheExitCode) {
  // Under Wine every test of the layer shares the process, and a driver test may fail first.
  if (recordedFailure() != RunFailure::None) GTEST_SKIP() << "a failure was recorded before";
  recordFailure(RunFailure::Password);
  recordFailure(RunFailure::Other);
  EXPECT_EQ(recordedFailure(), RunFailure::Password);
  EXPECT_EQ(finalExitCode(), 86);
}
