#include "app/AppState.h"
#include "app/Dialogs.h"
#include "app/ExtractionDriver.h"
#include "app/RunLog.h"
#include "app/RunThread.h"
#include "app/SfxConfig.h"
#include "ui/UserInterface.h"
#include "ui/resource.h"

namespace {

constexpr UINT_PTR kStartTimer = 0;
constexpr UINT kStartDelayMs = 200;

void initProgressDialog(HWND dialog) {
  runLogWrite("Progress dialog initialization...\r\n");
  runLogReopen(6);
  g_progressDialog = dialog;
  applyTitleSetting(dialog, "ProgressTitle");
  applyTextSetting(dialog, IDC_CAPTION, "ProgressCaption");
  centerBySettings(dialog, "ProgressWidth", "ProgressHeight");
  // The extraction starts from the message loop, once the dialog is on screen.
  SetTimer(dialog, kStartTimer, kStartDelayMs, nullptr);
  runLogWrite("Displayed progress dialog and set timer...\r\n");
  runLogReopen(7);
}

void startUnzip(HWND dialog) {
  // Ticks keep coming while the run waits in a password prompt or a message box.
  if (g_progressStarted) return;
  g_progressStarted = true;
  runLogWrite("Unzipping from progress dialog...\r\n");
  bool ok = DoUnzip(dialog);
  EndDialog(dialog, IDC_START_UNZIP);
  // The run has ended the program; nothing more is shown.
  if (cancelRequested() && !ok) return;
  if (g_config.GetFlag("ShowFin")) {
    showDialog(SfxDialog::Finished, dialog);
  } else {
    PostQuitMessage(0);
  }
}

}  // namespace

INT_PTR CALLBACK ProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      initProgressDialog(dialog);
      return TRUE;
    case WM_TIMER:
      // Queued, not called: the run must not start inside the timer's own dispatch.
      PostMessageA(dialog, WM_COMMAND, IDC_START_UNZIP, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) != IDC_START_UNZIP) return FALSE;
      startUnzip(dialog);
      return TRUE;
  }
  if (isSystemClose(message, wParam)) {
    if (closeCancelsExtraction(dialog)) return TRUE;
    runLogWrite("Progress Dialog - Close...\r\n");
    EndDialog(dialog, SC_CLOSE);
    PostQuitMessage(0);
    return TRUE;
  }
  return FALSE;
}
