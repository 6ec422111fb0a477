#include "app/SetupRunner.h"

#include <cstdlib>

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "app/ExitCode.h"
#include "app/ExtractionDriver.h"
#include "app/Messages.h"
#include "app/RunLog.h"
#include "app/RunThread.h"
#include "app/ProcessJob.h"
#include "app/SfxConfig.h"
#include "app/StartRefusal.h"
#include "base/PathQueries.h"
#include "base/UndoList.h"
#include "base/XString.h"

namespace {

bool autoExitRequested() {
  XString autoExit;
  g_config.GetValue("AutoExit", autoExit);
  return autoExit.equals("1");
}

// The setup program's own exit path: nothing more of this run happens, not even the closing
// lines of the run log (the runtime flushes what was written).
void endProcessIfAutoExit() {
  // From the window thread, so that no window is in the middle of a message while the process
  // winds down; the run thread waits meanwhile.
  if (autoExitRequested()) onWindowThread([] { std::exit(0); });
}

// A refusal by policy or scanner ends the run with its own Win32 error as the exit code, so that
// a deployment tool can tell it from a package that lacks its setup program.
void reportFailedStart(HWND owner, const StringBuffer &program, const StringBuffer &unzipDir, DWORD error) {
  runLogWrite("failed to run: [%s]\r\n", program.getText());
  if (isStartRefusal(error)) {
    StringBuffer text;
    describeStartRefusal(program, unzipDir, error, text);
    g_exitCode = int(error);
    showMessage(owner, text.getText(), "Error");
    return;
  }
  recordFailure(RunFailure::SetupMissing);
  XString text;
  text.appendUtf8("Failed to run ");
  text.appendUtf8(program.getText());
  text.appendUtf8(", working dir = ");
  text.appendUtf8(unzipDir.getText());
  text.appendUtf8(" (check to see if this file is in the EXE)");
  showMessage(owner, text.getUtf8(), "Error");
}

void normaliseSetupPath(StringBuffer &path) {
  path.replaceCharBytes('\\', '/');
  path.replaceAll("//", "/");
  path.replaceCharBytes('/', '\\');
}

void runShell(HWND owner, const XString &args, const StringBuffer &program, const StringBuffer &unzipDir,
              UndoList &entryList) {
  bool started = RunShellCommand(g_config.GetFlag("WaitForSetup"), args.getAnsi());
  endProcessIfAutoExit();
  ProcessUndoList(entryList, true);
  // The runtime's spawn leaves no Win32 error to go by.
  if (!started) reportFailedStart(owner, program, unzipDir, 0);
}

// False when the process is asked to end first; the setup program goes on by itself.
bool waitForSetupProgram(HANDLE process) {
  constexpr DWORD kLookMs = 100;
  while (WaitForSingleObject(process, kLookMs) == WAIT_TIMEOUT) {
    if (cancelRequested()) return false;
  }
  return true;
}

// A name with an extension that names no file cannot start; one without may still be found by
// the shell with an extension added.
bool cannotStart(const XString &fullPath) {
  XString name;
  getFileNamePart(fullPath, name);
  return name.contains(".") && GetFileAttributesW(wide(fullPath.getUtf16())) == INVALID_FILE_ATTRIBUTES;
}

// A program file runs without the shell's help, so that it can start suspended in the job.
bool isProgramFile(const XString &fullPath) {
  StringBuffer lower(fullPath.getUtf8());
  lower.toLowerCase();
  return lower.endsWith(".exe") || lower.endsWith(".com");
}

// Starts F; with a job given it starts inside the job where it can. False when the start failed;
// the shell may start a document without a process to hand back.
bool startSetupProgram(ProcessJob *job, const XString &fullPath, const XString &args, const XString &dir,
                       HANDLE &process) {
  process = nullptr;
  if (job != nullptr && isProgramFile(fullPath)) {
    XString line;
    line.appendUtf8("\"");
    line.appendXString(fullPath);
    line.appendUtf8("\" ");
    line.appendXString(args);
    process = job->start(fullPath, line, dir);
    if (process != nullptr) return true;
    // Asking for elevation is the shell's part; what else CreateProcessW refused, the shell
    // tries once more with its own rules.
    runLogWrite("CreateProcessW: error %u, starting through the shell\r\n", unsigned(GetLastError()));
  }
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  // The shell's own box about a missing file would wait for a click.
  if (isSilentRun()) info.fMask |= SEE_MASK_FLAG_NO_UI;
  info.lpFile = wide(fullPath.getUtf16());
  info.lpParameters = wide(args.getUtf16());
  info.lpDirectory = wide(dir.getUtf16());
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info)) return false;
  process = info.hProcess;
  // Whatever it started before this point is not in the job.
  if (job != nullptr && process != nullptr) job->adopt(process);
  return true;
}

// Waits for the job to empty when it holds the process, otherwise for the process alone; false
// when the process is asked to end first.
bool waitForSetup(ProcessJob &job, HANDLE process) {
  DWORD processes = 0;
  if (job.ready()) {
    if (job.waitUntilEmpty(processes, cancelRequested)) {
      runLogWrite("setup job ended: waited for %u process(es)\r\n", unsigned(processes));
      return true;
    }
    if (job.error() == ERROR_CANCELLED) return false;
  }
  runLogWrite("no job object for the setup program (error %u): waiting for it alone\r\n", unsigned(job.error()));
  return process == nullptr || waitForSetupProgram(process);
}

void runProgram(HWND owner, const XString &args, const StringBuffer &program, const StringBuffer &unzipDir,
                UndoList &entryList) {
  XString dir, path, fullPath;
  dir.setUtf8(unzipDir.getText());
  path.setUtf8(program.getText());
  joinDirPath(dir, path, fullPath);
  runLogCurrentDirectory();
  runLogWrite("full path to auto-run EXE: [%s]\r\n", fullPath.getUtf8());
  runLogWrite("unzipDir: [%s]\r\n", unzipDir.getText());

  bool wait = g_config.GetFlag("WaitForSetup") && !autoExitRequested();
  ProcessJob job;
  // A missing file is said at once: the shell's search for it took over ten seconds under Wine.
  HANDLE process = nullptr;
  if (cannotStart(fullPath) || !startSetupProgram(wait ? &job : nullptr, fullPath, args, dir, process)) {
    DWORD error = GetLastError();
    ProcessUndoList(entryList, true);
    reportFailedStart(owner, program, unzipDir, error);
    return;
  }
  endProcessIfAutoExit();
  if (!wait) {
    runLogWrite("NOT waiting for setup EXE to complete...\r\n");
    g_launchedWithoutWait = true;
    if (process != nullptr) CloseHandle(process);
    return;
  }
  runLogWrite("waiting for setup EXE to complete...\r\n");
  if (!waitForSetup(job, process)) {
    // It may still use what it was given: nothing is cleaned up, its code is not known.
    runLogWrite("Stopped waiting for setup EXE: the program is asked to end.\r\n");
    if (process != nullptr) CloseHandle(process);
    recordFailure(RunFailure::Cancelled);
    endOwnerDialog(owner, 0);
    postQuitRequest();
    return;
  }
  DWORD code = 0;
  if (process != nullptr && GetExitCodeProcess(process, &code)) {
    runLogWrite("GetExitCodeProcess: exitCode = %d\r\n", int(code));
    g_exitCode = int(code);
  }
  if (process != nullptr) CloseHandle(process);
  ProcessUndoList(entryList, true);
}

// The interpreter and whatever the command starts, waited for in a job; false when no job could
// take them, and the runtime's spawn runs the command instead.
bool runInJob(const char *interpreter, const char *quotedCommand) {
  ProcessJob job;
  XString program, line, noDir;
  program.appendAnsi(interpreter);
  line.appendAnsi(interpreter);
  line.appendUtf8(" /c ");
  line.appendAnsi(quotedCommand);
  HANDLE process = job.ready() ? job.start(program, line, noDir) : nullptr;
  if (process == nullptr) {
    runLogWrite("no job object for the command (error %u): waiting for the interpreter alone\r\n",
                unsigned(job.ready() ? GetLastError() : job.error()));
    return false;
  }
  waitForSetup(job, process);
  CloseHandle(process);
  return true;
}

}  // namespace

bool decideCleanup() {
  bool cleanup = g_config.GetIntValue("Cleanup") != 0;
  if (cleanup) runLogWrite("cleanup is requested...\r\n");
  if (!g_config.GetFlag("WaitForSetup")) {
    runLogWrite("WaitForSetup if false, therefore cannot cleanup files.\r\n");
    cleanup = false;
  }
  if (g_config.GetIntValue("AutoExit") != 0) {
    runLogWrite("AutoExit if true, therefore cannot cleanup files.\r\n");
    cleanup = false;
  }
  return cleanup;
}

void runSetupStage(HWND owner, const StringBuffer &unzipDir, UndoList &entryList) {
  XString setupExe;
  g_config.GetValue("SetupExe", setupExe);
  if (!setupExe.isEmpty()) runLogWrite("setup filename: [%s]\r\n", setupExe.getUtf8());
  if (g_config.GetIntValue("Debug") != 0 || setupExe.isEmpty()) {
    ProcessUndoList(entryList, true);
    return;
  }
  XString args;
  g_config.GetValue("SetupExeArgs", args);
  if (!args.isEmpty()) runLogWrite("setup args: [%s]\r\n", args.getUtf8());
  StringBuffer program(setupExe.getUtf8());
  normaliseSetupPath(program);
  runLogWrite("working dir: [%s]\r\n", unzipDir.getText());
  runLogWrite("running exe: [%s]\r\n", program.getText());
  setOwnerProgress(owner, 100);
  if (program.equalsIgnoreCase("shell")) {
    runShell(owner, args, program, unzipDir, entryList);
  } else {
    runProgram(owner, args, program, unzipDir, entryList);
  }
}

bool RunShellCommand(bool wait, const char *command) {
  int mode = wait ? _P_WAIT : _P_NOWAIT;
  const char *interpreter = std::getenv("ComSpec");
#ifndef _WIN32
  // Linux has no command interpreter of its own name: the POSIX shell takes the command as is.
  if (interpreter == nullptr) {
    const char *shell[] = {"/bin/sh", "-c", command, nullptr};
    return _spawnv(mode, shell[0], shell) != -1;
  }
#endif
  if (interpreter == nullptr) return false;
  StringBuffer quoted;
  quoted.appendChar('"');
  quoted.append(command);
  quoted.appendChar('"');
  if (wait && runInJob(interpreter, quoted.getText())) return true;
  const char *argv[] = {interpreter, "/c", quoted.getText(), nullptr};
  return _spawnv(mode, interpreter, argv) != -1;
}
