#include "app/ExitCode.h"

#include "app/AppState.h"
#include "base/StringBuffer.h"

namespace {
RunFailure s_failure = RunFailure::None;

bool mentionsWindowsError(const StringBuffer &text, DWORD code) {
  StringBuffer systemText;
  systemText.appendWindowsError(code);
  return systemText.getSize() > 1 && text.contains(systemText.getText());
}

// The reader's texts for what went wrong on the target's side.
const char *const kTargetTexts[] = {"Failed to write file data.", "Failed to ensure directory exists.",
                                    "Failed to ensure file can be created.", "Failed to open file.",
                                    "because it is currently in use"};
}  // namespace

int exitCodeFor(RunFailure failure) {
  switch (failure) {
    case RunFailure::None: return 0;
    case RunFailure::Cancelled: return 1223;
    case RunFailure::Password: return 86;
    case RunFailure::Damaged: return 13;
    case RunFailure::DiskFull: return 112;
    case RunFailure::AccessDenied: return 5;
    case RunFailure::SetupMissing: return 2;
    case RunFailure::Other: return 1;
  }
  return 1;
}

void recordFailure(RunFailure failure) {
  if (s_failure == RunFailure::None) s_failure = failure;
}

RunFailure recordedFailure() { return s_failure; }

int finalExitCode() { return s_failure == RunFailure::None ? g_exitCode : exitCodeFor(s_failure); }

RunFailure failureForWindowsError(unsigned long code) {
  switch (code) {
    case ERROR_DISK_FULL: return RunFailure::DiskFull;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return RunFailure::AccessDenied;
    default: return RunFailure::Other;
  }
}

RunFailure classifyExtractionError(const StringBuffer &errorText) {
  if (mentionsWindowsError(errorText, ERROR_DISK_FULL)) return RunFailure::DiskFull;
  if (mentionsWindowsError(errorText, ERROR_ACCESS_DENIED) || mentionsWindowsError(errorText, ERROR_SHARING_VIOLATION) ||
      mentionsWindowsError(errorText, ERROR_WRITE_PROTECT) || errorText.contains("because it is currently in use")) {
    return RunFailure::AccessDenied;
  }
  for (const char *text : kTargetTexts) {
    if (errorText.contains(text)) return RunFailure::Other;
  }
  return RunFailure::Damaged;
}
