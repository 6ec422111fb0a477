#include "app/ExtractionDriver.h"

#include <new>

#include "app/AppState.h"
#include "base/CleanupRetry.h"
#include "app/Dialogs.h"
#include "app/ExitCode.h"
#include "app/Messages.h"
#include "app/ProgressReporter.h"
#include "app/RunLog.h"
#include "app/RunThread.h"
#include "app/SetupRunner.h"
#include "app/SfxConfig.h"
#include "archive/SimpleArchive.h"
#include "base/DataBuffer.h"
#include "base/Directories.h"
#include "base/PathQueries.h"
#include "base/UndoList.h"
#include "base/PrivateDirectory.h"
#include "crypto/TempFilePath.h"
#include "base/Logger.h"
#include "base/XString.h"
#include "compress/DataSource.h"
#include "compress/ProgressMonitor.h"

namespace {

// How often the extraction looks at the cancel flag, well inside the half second a person
// waits for a Cancel to take effect.
constexpr uint32_t kCancelCheckMs = 100;

void showError(HWND owner, const char *utf8Text) { showMessage(owner, utf8Text, "Error"); }

void showErrorWithPath(HWND owner, const char *message, const StringBuffer &path) {
  StringBuffer text(message);
  text.appendBuffer(path);
  showError(owner, text.getText());
}

// The run cannot go on: the owner dialog ends and so does every modal loop above it.
void abandonRun(HWND owner) {
  endOwnerDialog(owner, 0);
  postQuitRequest();
}

// What a run could not take back or tidy away, said once at its end.
StringBuffer s_leftovers;

// Every step in a verbose run log; what could not be removed or restored in every run log.
class RunLogUndoReport : public UndoReport {
 public:
  void step(const char *action, const char *utf8Path) override {
    if (g_config.GetIntValue("Verbose") != 0) runLogWrite("(%s) %s\r\n", action, utf8Path);
  }
  void failed(const char *action, const char *utf8Path, DWORD windowsError) override {
    StringBuffer reason;
    reason.appendWindowsError(windowsError);
    runLogWrite("(%s) %s: %s\r\n", action, utf8Path, reason.getText());
    s_leftovers.append("\n");
    s_leftovers.append(utf8Path);
  }
};

// In the dialog modes the person is told; the run log has the reasons in every mode.
void reportLeftovers(HWND owner) {
  if (s_leftovers.isEmpty()) return;
  if (owner != g_hiddenWindow) {
    StringBuffer text("These files or folders could not be removed or restored:");
    text.appendBuffer(s_leftovers);
    showMessage(owner, text.getText(), "Warning");
  }
  s_leftovers.clear();
}

class CancelCheck : public ProgressCallback {
 public:
  void abortCheck(bool &abort) override { abort = extractionShouldStop(); }
};

bool failUnzipDir(HWND owner, const StringBuffer &dir) {
  recordFailure(failureForWindowsError(GetLastError()));
  runLogWrite("failed to ensure dir exists: [%s]\r\n", dir.getText());
  showErrorWithPath(owner, "Failed to ensure dir exists: ", dir);
  abandonRun(owner);
  return false;
}

bool ensureUnzipDir(HWND owner, const StringBuffer &dir, UndoList &topDirs) {
  LogNull log;
  if (ensureDirExists(dir.getText(), topDirs.createdDirs(), log)) return true;
  return failUnzipDir(owner, dir);
}

// The last temporary name this run offered (MakeTempDirName): the main dialog shows it in its
// field, and the folder is made private when that is still the folder asked for.
StringBuffer &offeredTempDir() {
  static StringBuffer name;
  return name;
}

// A temporary unzip folder is made by this run alone, with an access list that keeps other
// accounts out from its first moment; one that already exists is never used (someone else
// may have made it and left files in it). The temporary directory itself is made if missing.
bool createPrivateUnzipDir(HWND owner, StringBuffer &dir, UndoList &topDirs) {
  LogNull log;
  StringBuffer parent;
  if (!ensureParentDir(dir.getText(), parent, topDirs.createdDirs(), log)) return failUnzipDir(owner, dir);
  XString path;
  path.setUtf8(dir.getText());
  if (!createPrivateDirectory(path, log)) return failUnzipDir(owner, dir);
  StringBuffer *record = new (std::nothrow) StringBuffer(dir.getText());
  if (record == nullptr || !record->appendChar('D') || !topDirs.createdDirs()->append(record)) {
    delete record;
    return false;
  }
  return true;
}

void logTopDirectory(UndoList &topDirs) {
  if (topDirs.count() == 0) {
    runLogWrite("No top-level directory added to undo list\r\n");
    return;
  }
  // The recorded path carries its tag letter at the end.
  const StringBuffer *first = static_cast<const StringBuffer *>(topDirs.createdDirs()->get(0));
  StringBuffer path(first->getText());
  path.shortenBy(1);
  runLogWrite("created unzip dir: [%s]\r\n", path.getText());
}

// %VARIABLE% references, forward slashes and doubled separators as people write them.
void normaliseUnzipDir(StringBuffer &dir) {
  StringBuffer before(dir.getText());
  dir.expandEnvVars();
  if (!dir.equalsBuffer(before) && !before.contains("\\\\")) dir.replaceAll("\\\\", "\\");
  dir.replaceCharBytes('/', '\\');
  for (int pass = 0; pass < 1001 && dir.contains("\\\\"); ++pass) dir.replaceAll("\\\\", "\\");
}

bool prepareUnzipDir(HWND owner, UndoList &topDirs, StringBuffer &dir) {
  bool dryRun = g_config.GetIntValue("Debug") != 0;
  XString configured;
  g_config.GetValue("UnzipDir", configured);
  if (configured.isEmpty()) {
    runLogWrite("Selecting temp dir for unzipping...\r\n");
    if (!SelectTempUnzipDir(owner, topDirs, dir)) return false;
    logTopDirectory(topDirs);
    return true;
  }
  dir.setString(configured.getUtf8());
  bool offered = !offeredTempDir().isEmpty() && dir.equalsBuffer(offeredTempDir());
  normaliseUnzipDir(dir);
  runLogWrite("unzipDir = [%s]\r\n", dir.getText());
  if (dryRun) return true;
  runLogWrite("Check/create extract dir: [%s]\r\n", dir.getText());
  if (offered ? !createPrivateUnzipDir(owner, dir, topDirs) : !ensureUnzipDir(owner, dir, topDirs)) return false;
  logTopDirectory(topDirs);
  return true;
}

bool enterUnzipDir(HWND owner, const StringBuffer &dir) {
  if (dir.isEmpty()) return true;
  runLogWrite("Setting CWD [%s]\r\n", dir.getText());
  if (g_config.GetIntValue("Debug") != 0) return true;
  XString path;
  path.setUtf8(dir.getText());
  if (setCurrentDir(path)) return true;
  recordFailure(failureForWindowsError(GetLastError()));
  runLogWrite("failed to set current dir: [%s]\r\n", dir.getText());
  showErrorWithPath(owner, "Failed to set current dir: ", dir);
  abandonRun(owner);
  return false;
}

// Before anything is created: a word the program does not know must not be taken for "always".
bool applyOverwritePolicy(HWND owner) {
  XString text;
  g_config.GetValue(SfxConfig::kOverwrite, text);
  OverwritePolicy policy = OverwritePolicy::Always;
  if (text.isEmpty() || parseOverwritePolicy(text.getUtf8(), policy)) {
    g_archive.setOverwritePolicy(policy);
    return true;
  }
  recordFailure(RunFailure::Other);
  StringBuffer message("Unknown overwrite policy (always, never or older): ");
  message.append(text.getUtf8());
  runLogWrite("%s\r\n", message.getText());
  showError(owner, message.getText());
  abandonRun(owner);
  return false;
}

// What the run thread does for DoUnzip.
bool runExtraction(HWND owner) {
  if (!applyOverwritePolicy(owner)) return false;
  // A sealed payload asks for its password whatever its settings say: they are only trusted once
  // the password has proved them unchanged.
  if (g_config.GetFlag("Encryption") || g_archive.scheme() == PayloadScheme::Sodium) {
    if (!CheckPassword(owner)) {
      if (g_archive.payloadDamaged()) {
        recordFailure(RunFailure::Damaged);
        runLogWrite("The package is damaged or was changed after it was made.\r\n");
      } else {
        recordFailure(g_passwordCancelled || cancelRequested() ? RunFailure::Cancelled : RunFailure::Password);
        runLogWrite("Password is incorrect.\r\n");
      }
      abandonRun(owner);
      return false;
    }
    runLogWrite("Password verified...\r\n");
  } else {
    runLogWrite("Not encrypted.\r\n");
  }
  runLogCurrentDirectory();

  UndoList topDirs;
  StringBuffer dir;
  if (!prepareUnzipDir(owner, topDirs, dir)) {
    // What was created for a directory that cannot be used stays, as the person may look at it.
    topDirs.forget();
    return false;
  }
  if (dir.beginsWith("\\\\?\\")) dir.removeRange(0, 4);
  runLogWrite("Final unzip dir: [%s]...\r\n", dir.getText());
  XString savedDir;
  getCurrentDir(savedDir);
  if (!enterUnzipDir(owner, dir)) {
    topDirs.forget();
    return false;
  }

  bool cleanup = decideCleanup();
  UndoList entryList;
  StringBuffer errorText;
  setExtracting(true);
  bool ok = UnzipToFile(owner, dir, errorText, entryList);
  if (finishExtracting()) ok = false;
  bool cancelled = !ok && cancelRequested();
  // Recorded for a cancel's or a failure's sake: without cleanup what was extracted stays, and
  // the earlier copies of what it replaced go now.
  if (ok && !cleanup) KeepUndoList(entryList);
  if (ok && g_progressDialog != nullptr) setOwnerProgress(g_progressDialog, 100);
  if (ok) {
    runLogWrite("Unzip complete...\r\n");
    runSetupStage(owner, dir, entryList);
  } else if (cancelled) {
    ProcessUndoList(entryList, true);
    runLogWrite("Extraction cancelled.\r\n");
    g_exitCode = kExitCancelled;
  } else {
    recordFailure(classifyExtractionError(errorText));
    ProcessUndoList(entryList, true);
    showError(owner, errorText.getText());
  }
  setCurrentDir(savedDir);
  ProcessUndoList(topDirs, cleanup || !ok);
  reportLeftovers(owner);
  if (cancelled) abandonRun(owner);
  return ok;
}

}  // namespace

bool DoUnzip(HWND owner) {
  if (runActive()) return false;
  resetCancel();
  return runOnRunThread([](void *window) { return runExtraction(static_cast<HWND>(window)); }, owner,
                        owner != g_hiddenWindow ? owner : nullptr);
}

bool CheckPassword(HWND owner) {
  DataBuffer verifierCache;
  LogNull log;
  for (;;) {
    // Asked to end: the prompt has closed without an answer.
    if (cancelRequested()) return false;
    // Nobody is there to ask in a silent run; a password dialog that cannot be shown can never
    // be answered either: both are giving up.
    if (g_password.isEmpty() && isSilentRun()) {
      showMessage(owner, "No password was given (-pwd).", "Error");
      return false;
    }
    if (g_password.isEmpty() && showDialog(SfxDialog::Password, owner) == -1) return false;
    // Written by the password dialog on the window thread, which has finished with it.
    if (g_passwordCancelled) return false;
    if (g_password.isEmpty()) continue;
    g_archive.setPassword(g_password);
    if (g_archive.verifyPassword(log, verifierCache)) return true;
    if (g_archive.payloadDamaged()) {
      showMessage(owner, "The package is damaged or was changed after it was made.", "Error");
      return false;
    }
    XString title, caption;
    g_config.GetValue("ErrPwdTitle", title);
    g_config.GetValue("ErrPwdCaption", caption);
    if (title.isEmpty()) title.setUtf8("Error");
    if (caption.isEmpty()) caption.setUtf8("Incorrect password.");
    showMessage(owner, caption.getUtf8(), title.getUtf8());
    g_password.clear();
    if (isSilentRun()) return false;
  }
}

bool SelectTempUnzipDir(HWND owner, UndoList &topDirs, StringBuffer &dir) {
  MakeTempDirName(dir);
  runLogWrite("temp unzipDir = [%s]\r\n", dir.getText());
  if (g_config.GetIntValue("Debug") != 0) return true;
  runLogWrite("Check/create unzip dir: [%s]\r\n", dir.getText());
  return createPrivateUnzipDir(owner, dir, topDirs);
}

void MakeTempDirName(StringBuffer &dir) {
  dir.clear();
  makeUnguessableTempPath("qvz", dir);
  offeredTempDir().setString(dir.getText());
}

bool UnzipToFile(HWND owner, const StringBuffer &, StringBuffer &errorText, UndoList &entryList) {
  errorText.clear();
  if (owner != nullptr) setOwnerProgress(owner, 0);
  ProgressReporter progress(owner, g_payloadEnd - g_payloadStart, g_archive.getSource() != nullptr
                                                                      ? g_archive.getSource()->getPosition() - g_payloadStart
                                                                      : 0);
  CancelCheck cancelCheck;
  ProgressMonitor monitor(&cancelCheck);
  monitor.setPercentOff(true);
  monitor.setHeartbeatMs(kCancelCheckMs);
  Logger log;
  log.enterContext("UnzipToFile");
  bool verbose = g_config.GetIntValue("Verbose") != 0;
  bool dryRun = g_config.GetIntValue("Debug") != 0;
  // Always recorded, so that a cancelled run can take back what it wrote.
  bool recording = !dryRun;
  bool endOfArchive = false, ok = true;
  StringBuffer name;
  runLogWrite(g_archive.carriesCheckValues() ? "Payload carries check values.\r\n"
                                             : "Payload carries no check values.\r\n");
  do {
    bool isDirectory = false, skipped = false;
    ok = g_archive.unzipNextEntry(dryRun, endOfArchive, &progress, name, isDirectory,
                                  recording ? &entryList : nullptr, skipped, &monitor, log);
    if (g_archive.lastFileKept()) runLogWrite("kept existing file: %s\r\n", name.getText());
    if (verbose && !name.isEmpty()) {
      if (skipped) runLogWrite("(skipped)");
      runLogWrite(isDirectory ? "(dir) %s\r\n" : "(file) %s\r\n", name.getText());
      if (g_archive.lastFileVerified()) runLogWrite("(verified) %s\r\n", name.getText());
    }
  } while (ok && !endOfArchive);
  log.leaveContext();
  if (ok) return true;
  log.copyLogText(errorText);
  if (errorText.contains("used by another process")) {
    errorText.setString("Cannot overwrite ");
    errorText.appendBuffer(name);
    errorText.append(" because it is currently in use");
  }
  return false;
}

void ProcessUndoList(UndoList &undoList, bool retryHeld) {
  runLogWrite("processing undo list...\r\n");
  RunLogUndoReport report;
  undoList.rollBack(retryHeld ? kCleanupRetryMs : 0, report);
}

void KeepUndoList(UndoList &undoList) {
  RunLogUndoReport report;
  undoList.keep(report);
}
