#pragma once

// A job object that holds the setup program and every process it starts, so that the stub can
// wait for the last of them: a bootstrapper that hands over to msiexec, or an updater that
// starts itself again, ends long before the installation does. What the job cannot hold (a
// process allowed to break away, one started before it was assigned) is not waited for.
// Owned by the run thread for the length of one setup stage.

#include "platform/win32.h"

class XString;

class ProcessJob {
 public:
  ProcessJob();
  ~ProcessJob();
  ProcessJob(const ProcessJob &) = delete;
  ProcessJob &operator=(const ProcessJob &) = delete;

  // False when the system gave no job (the Win32 error is in error()); callers then wait for
  // the one process they started.
  bool ready() const { return m_job != nullptr; }
  DWORD error() const { return m_error; }

  // Starts the command line in `dir` suspended, puts it into the job before any of its code
  // runs, and lets it go: its children cannot be started outside the job. The process handle,
  // or nullptr with the last error set (ERROR_ELEVATION_REQUIRED among them: the shell must
  // start such a program).
  HANDLE start(const XString &program, const XString &commandLine, const XString &dir);
  // Puts a process that someone else started into the job; false (error() says why) when it
  // could not be, for example because it already ended or runs elevated.
  bool adopt(HANDLE process);
  // Returns once no process is left in the job, with the number of processes it held; false
  // when the completion port failed, or with error() ERROR_CANCELLED as soon as `stopRequested`
  // says so (asked every tenth of a second).
  bool waitUntilEmpty(DWORD &processes, bool (*stopRequested)());

 private:
  HANDLE m_job = nullptr;
  HANDLE m_port = nullptr;
  DWORD m_error = 0;
};
