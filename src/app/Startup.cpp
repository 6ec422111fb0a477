#include "app/Startup.h"

#include <cstdio>

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/Dialogs.h"
#include "app/EndRequests.h"
#include "app/ExitCode.h"
#include "app/ExtractionDriver.h"
#include "app/HelpText.h"
#include "app/Messages.h"
#include "app/LicensePage.h"
#include "app/ProgressReporter.h"
#include "app/RunLog.h"
#include "app/RunThread.h"
#include "app/SfxConfig.h"
#include "compress/FileDataSource.h"
#include "archive/SimpleArchive.h"
#include "base/PathQueries.h"
#include "base/Logger.h"
#include "base/XString.h"

namespace {

constexpr UINT kTitleStringId = 103;
constexpr UINT kClassStringId = 109;

// Why the payload's settings could not be read. The command line, which may ask for silence,
// is applied after them, so the message waits until then.
StringBuffer s_settingsFailure;

void settingsFailed(RunFailure failure, const char *text) {
  recordFailure(failure);
  s_settingsFailure.setString(text);
}

void registerWindowClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // the standard arrow
  wc.hbrBackground = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_WINDOW + 1));
  wc.lpszMenuName = wide(u"SELFEXTRACT");
  wc.lpszClassName = g_windowClass;
  RegisterClassExW(&wc);
}

// The open failure is also written next to where the program was started: the run log is not
// open yet, and a message box may go unseen.
void reportOpenFailure(const XString &exePath, Logger &log) {
  log.leaveContext();
  StringBuffer logText;
  log.copyLogText(logText);
  std::FILE *file = std::fopen("sfxErrorLog.txt", "w");
  if (file != nullptr) {
    StringBuffer lines(logText.getText());
    lines.replaceAll("\r\n", "\n");
    std::fprintf(file, "Failed to open EXE: %s\n", exePath.getAnsi());
    std::fprintf(file, "%s\n", lines.getText());
    std::fclose(file);
  }
  StringBuffer text("Failed to open EXE: ");
  text.append(exePath.getUtf8());
  text.appendChar('\n');
  text.appendBuffer(logText);
  settingsFailed(RunFailure::Other, text.getText());
}

void writeVersionLines() {
  XString version;
  g_config.GetValue("VersionCreatedBy", version);
  runLogWrite("Created by version %s\r\n", version.isEmpty() ? "prior to 14.3.0" : version.getUtf8());
  runLogWrite("%s\r\n", __DATE__);
  StringBuffer xml;
  g_config.GetXml(xml);
  runLogWrite("%s\r\n", xml.getText());
  runLogReopen(2);
}

}  // namespace

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case kRunRequestMessage:
      serviceRunRequest();
      return 0;
    case kTaskbarProgressMessage:
      showTaskbarProgress(reinterpret_cast<HWND>(lParam), int(wParam));
      return 0;
    // Never DefWindowProc's: it would destroy this window, and the run thread's requests would
    // have nowhere to go.
    case WM_CLOSE:
      answerClose();
      return 0;
    // The session may still go on (another program can refuse): the run goes on until
    // WM_ENDSESSION says it ends.
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam != FALSE) answerSessionEnd(window);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool GetSettings() {
  XString exePath;
  getExePath(exePath);
  Logger log;
  log.enterContext("GetSettings");
  // The source is read for the whole run and lives as long as the process.
  FileDataSource *source = SimpleArchive::openFileSource(exePath.getUtf8(), log);
  if (source == nullptr) {
    reportOpenFailure(exePath, log);
    return false;
  }
  g_archive.setSource(source);
  if (source->fileSize() < 0) {
    settingsFailed(RunFailure::Other, "Failed to get file size.");
    return false;
  }
  if (!g_archive.findMarker(log, nullptr)) {
    settingsFailed(RunFailure::Damaged, "Failed to find marker.");
    return false;
  }
  constexpr int64_t kMarkerBytes = 8;
  g_payloadStart = source->getPosition() - kMarkerBytes;
  g_payloadEnd = source->fileSize();
  StringBuffer errorText;
  if (!g_archive.readInternalHeader(errorText, log, nullptr)) {
    errorText.prepend("Failed to read internal header: ");
    settingsFailed(RunFailure::Damaged, errorText.getText());
    return false;
  }
  if (!g_archive.readInternalArgs(log, nullptr)) {
    settingsFailed(RunFailure::Damaged, g_archive.payloadDamaged()
                                            ? "The package is damaged: its header or settings do not match their check value."
                                            : "Failed to read internal args.");
    return false;
  }
  XString xml;
  g_archive.getNamedValue("xmlConfig", xml);
  // A payload without a usable document runs with the defaults.
  g_config.LoadXml(xml);
  return true;
}

BOOL InitInstance(HINSTANCE instance, int, const char *commandLine, bool &noMessageLoop) {
  noMessageLoop = false;
  g_instance = instance;
  HWND window = CreateWindowExW(0, g_windowClass, g_windowTitle, WS_POPUP, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    runLogWrite("Failed to create Window.");
    return FALSE;
  }
  g_hiddenWindow = window;
  bool settingsRead = GetSettings();
  ParseCommandLine(commandLine);
  // Only now is it known whether the run is silent.
  if (!s_settingsFailure.isEmpty()) showMessage(window, s_settingsFailure.getText(), "Error");
  if (runLogIsOpen()) writeVersionLines();
  if (g_helpRequested) {
    showHelp(window);
    noMessageLoop = true;
    return TRUE;
  }
  // Without its payload a silent run has nothing to do and nobody to ask where to find it; a
  // payload whose settings are known to be damaged must not run on the defaults instead.
  if (!settingsRead && (isSilentRun() || g_archive.payloadDamaged())) return FALSE;

  // A dialog that cannot be created fails the run: without it nothing would ever post the
  // quit request that ends the message loop.
  bool silent = isSilentRun();
  bool mainMode = !silent && (g_config.GetFlag("ShowMain") || !g_config.HasUnzipTarget());
  // The automatic mode is the publisher's choice of a run without questions: no license page,
  // unless the publisher requires the license to be accepted.
  if (silent && !licenseAcceptedUnattended(window)) {
    noMessageLoop = true;
    return TRUE;
  }
  if (!silent && (mainMode || g_config.GetFlag("ShowProgress") || g_config.GetFlag(SfxConfig::kLicenseRequired))) {
    LicenseAnswer answer = askLicense(window);
    if (answer == LicenseAnswer::Failed) return FALSE;
    noMessageLoop = answer == LicenseAnswer::Declined;
    if (noMessageLoop) return TRUE;
  }
  if (mainMode) {
    runLogWrite("Showing main dialog...\r\n");
    return showDialog(SfxDialog::Main, window) == -1 ? FALSE : TRUE;
  }
  noMessageLoop = true;
  if (!silent && g_config.GetFlag("ShowProgress")) {
    runLogWrite("Showing progress dialog...\r\n");
    runLogReopen(3);
    if (showDialog(SfxDialog::Progress, window) == -1) return FALSE;
    runLogWrite("Created progress dialog...\r\n");
    runLogReopen(4);
    return TRUE;
  }
  runLogWrite("Automatically unzipping...\r\n");
  bool ok = DoUnzip(window);
  if (cancelRequested() && !ok) return FALSE;
  if (!silent && g_config.GetFlag("ShowFin") && showDialog(SfxDialog::Finished, window) == -1) ok = false;
  return ok ? TRUE : FALSE;
}

int SfxWinMain(HINSTANCE instance, HINSTANCE, const char *commandLine, int show) {
  LoadStringW(instance, kTitleStringId, g_windowTitle, 100);
  LoadStringW(instance, kClassStringId, g_windowClass, 100);
  registerWindowClass(instance);
  bool noMessageLoop = false;
  if (!InitInstance(instance, show, commandLine, noMessageLoop)) {
    runLogWrite("InitInstance failed.\r\n");
    if (g_exitCode == kExitCancelled) recordFailure(RunFailure::Cancelled);
    recordFailure(RunFailure::Other);
    return finalExitCode();
  }
  const char *closing = "Return from WinMain without entering message loop...\r\n";
  if (!noMessageLoop) {
    runLogWrite("Initialization finished.\r\n");
    runLogReopen(1);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    closing = "Closing log from WinMain.\r\n";
  }
  if (runLogIsOpen()) {
    runLogWrite("%s", closing);
    runLogWrite("exitCode = %d\r\n", finalExitCode());
    runLogClose();
  }
  return finalExitCode();
}
