#include "ui/UserInterface.h"
#include "ui/resource.h"

namespace {

void endFinishedDialog(HWND dialog, INT_PTR result) {
  EndDialog(dialog, result);
  PostQuitMessage(0);
}

}  // namespace

// Escape is not handled: the message is read and confirmed with OK or the title-bar close.
INT_PTR CALLBACK FinishedDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    applyTextSetting(dialog, IDC_FINISHED_OK, "FinOkBtn");
    applyTitleSetting(dialog, "FinTitle");
    applyTextSetting(dialog, IDC_CAPTION, "FinCaption");
    centerBySettings(dialog, "FinWidth", "FinHeight");
    return TRUE;
  }
  if (isSystemClose(message, wParam)) {
    endFinishedDialog(dialog, SC_CLOSE);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDC_FINISHED_OK) {
    endFinishedDialog(dialog, IDC_FINISHED_OK);
    return TRUE;
  }
  return FALSE;
}
