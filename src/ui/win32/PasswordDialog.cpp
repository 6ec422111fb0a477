#include "app/AppState.h"
#include "ui/UserInterface.h"
#include "ui/resource.h"

namespace {

void initPasswordDialog(HWND dialog) {
  applyTextSetting(dialog, IDOK, "PwdOkBtn");
  applyTextSetting(dialog, IDCANCEL, "PwdCancelBtn");
  applyTitleSetting(dialog, "PwTitle");
  applyTextSetting(dialog, IDC_CAPTION, "PwCaption");
  centerBySettings(dialog, "PwWidth", "PwHeight");
}

// The key is derived from the bytes typed, in the system code page, as the packer expects.
void takePassword(HWND dialog) {
  char typed[500] = {};
  GetDlgItemTextA(dialog, IDC_PASSWORD, typed, sizeof typed);
  g_password.clear();
  g_password.append(typed);
  SecureZeroMemory(typed, sizeof typed);
}

}  // namespace

// Never posts the quit request: the extraction driver decides what a cancel means.
INT_PTR CALLBACK PasswordDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    initPasswordDialog(dialog);
    return TRUE;
  }
  // Closing from the title bar is not giving up: the password stays empty and is asked again.
  if (isSystemClose(message, wParam)) {
    EndDialog(dialog, SC_CLOSE);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      takePassword(dialog);
      g_passwordCancelled = false;
      EndDialog(dialog, IDOK);
      return TRUE;
    case IDCANCEL:
      g_password.clear();
      g_passwordCancelled = true;
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}
