// The license page: the publisher's text in a read-only edit that scrolls, I Agree and Decline.
// The window can be resized; the edit takes the room and the buttons keep to the bottom right.
#include "app/AppState.h"
#include "app/SfxConfig.h"
#include "base/XString.h"
#include "ui/UserInterface.h"
#include "ui/resource.h"

namespace {

constexpr UINT kShowFromTop = WM_APP + 1;

// The template's size: the page never shrinks below it.
SIZE s_minimumSize = {0, 0};

// The settings document has its line ends as LF; a multi-line edit breaks lines only at CR LF.
void showLicenseText(HWND dialog) {
  XString text;
  g_config.GetValue(SfxConfig::kLicenseText, text);
  StringBuffer &lines = text.getUtf8BufferForChange();
  lines.replaceAll("\r\n", "\n");
  lines.replaceAll("\n", "\r\n");
  SetDlgItemTextW(dialog, IDC_LICENSE_TEXT, wide(text.getUtf16()));
}

void layOut(HWND dialog) {
  RECT margin = {7, 7, 50, 14};  // dialog units: margin, button width and height
  MapDialogRect(dialog, &margin);
  RECT client{};
  GetClientRect(dialog, &client);
  int m = margin.left, buttonW = margin.right, buttonH = margin.bottom;
  int bottom = client.bottom - m - buttonH;
  MoveWindow(GetDlgItem(dialog, IDC_LICENSE_TEXT), m, m, client.right - 2 * m, bottom - 2 * m, TRUE);
  MoveWindow(GetDlgItem(dialog, IDCANCEL), client.right - m - buttonW, bottom, buttonW, buttonH, TRUE);
  MoveWindow(GetDlgItem(dialog, IDOK), client.right - 2 * (m + buttonW) + m / 2, bottom, buttonW, buttonH, TRUE);
}

void initLicenseDialog(HWND dialog) {
  applyTitleSetting(dialog, SfxConfig::kLicenseTitle);
  applyTextSetting(dialog, IDOK, SfxConfig::kLicenseAcceptBtn);
  applyTextSetting(dialog, IDCANCEL, SfxConfig::kLicenseDeclineBtn);
  showLicenseText(dialog);
  RECT window{};
  GetWindowRect(dialog, &window);
  s_minimumSize = {window.right - window.left, window.bottom - window.top};
  CenterWindow(dialog, 0, 0);
  // On the button, not the edit: the edit would show the whole text selected.
  SetFocus(GetDlgItem(dialog, IDOK));
  PostMessageW(dialog, kShowFromTop, 0, 0);
}

// The edit scrolls to its caret, which showing the dialog may have put at the end.
void showFromTop(HWND dialog) {
  SendDlgItemMessageW(dialog, IDC_LICENSE_TEXT, EM_SETSEL, 0, 0);
  SendDlgItemMessageW(dialog, IDC_LICENSE_TEXT, WM_VSCROLL, SB_TOP, 0);
}

}  // namespace

INT_PTR CALLBACK LicenseDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      initLicenseDialog(dialog);
      return FALSE;  // the focus was set
    case kShowFromTop:
      showFromTop(dialog);
      return TRUE;
    case WM_SIZE:
      layOut(dialog);
      return TRUE;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO *>(lParam)->ptMinTrackSize = {s_minimumSize.cx, s_minimumSize.cy};
      return TRUE;
    case WM_COMMAND:
      // Decline is also the Escape key.
      if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
      EndDialog(dialog, LOWORD(wParam));
      return TRUE;
  }
  if (isSystemClose(message, wParam)) {
    EndDialog(dialog, SC_CLOSE);
    return TRUE;
  }
  return FALSE;
}
