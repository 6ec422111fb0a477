#pragma once

class StringBuffer;

// Why a run failed, and the process exit code each reason gives. The table is the one the
// README shows to people who script the program.
enum class RunFailure {
  None,          // 0, or the setup program's own code when it was waited for
  Cancelled,     // 1223 ERROR_CANCELLED
  Password,      // 86 ERROR_INVALID_PASSWORD: wrong or missing
  Damaged,       // 13 ERROR_INVALID_DATA: bad marker, bad entry, refused name, failed check value
  DiskFull,      // 112 ERROR_DISK_FULL
  AccessDenied,  // 5 ERROR_ACCESS_DENIED: the target cannot be written
  SetupMissing,  // 2 ERROR_FILE_NOT_FOUND: the setup program cannot be started
  Other,         // 1
};

int exitCodeFor(RunFailure failure);

// The first failure of a run is its reason; later ones follow from it.
void recordFailure(RunFailure failure);
RunFailure recordedFailure();
// The recorded failure's code, else the exit code the setup stage took over.
int finalExitCode();

// The reason behind an extraction's error text: the target's disk or permissions when the
// system's own text for those errors is in it, the target otherwise when writing failed, and
// the payload for everything the reader refused.
RunFailure classifyExtractionError(const StringBuffer &errorText);
// The reason behind a failed file-system call, from its last-error code.
RunFailure failureForWindowsError(unsigned long code);
