#include <cstring>

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "app/ExtractionDriver.h"
#include "app/RunThread.h"
#include "app/SfxConfig.h"
#include "base/StringBuffer.h"
#include "base/XString.h"
#include "ui/UserInterface.h"
#include "ui/resource.h"

namespace {

void fillUnzipDir(HWND dialog) {
  XString dir;
  g_config.GetValue("UnzipDir", dir);
  if (!dir.isEmpty()) {
    ShowUnzipDir(dialog, dir);
    return;
  }
  if (g_config.GetFlag("AutoTemp")) {
    // Only a name: the directory is made when Unzip is pressed, from the field's text.
    StringBuffer name;
    MakeTempDirName(name);
    g_config.SetValue("UnzipDir", name.getText());
    dir.setUtf8(name.getText());
    ShowUnzipDir(dialog, dir);
    return;
  }
  g_config.GetValue("DefaultDir", dir);
  if (dir.isEmpty()) {
    WCHAR current[1024] = {};
    GetCurrentDirectoryW(1024, current);
    dir.setUtf16(reinterpret_cast<const char16_t *>(current));
  }
  ShowUnzipDir(dialog, dir);
}

void placeButton(HWND dialog, int id, int x, int y) { MoveWindow(GetDlgItem(dialog, id), x, y, 75, 25, TRUE); }

void initMainDialog(HWND dialog) {
  fillUnzipDir(dialog);
  applyTitleSetting(dialog, "MainTitle");
  applyTextSetting(dialog, IDC_CAPTION, "MainCaption");
  XString label;
  g_config.GetValue("MainUnzipLabel", label);
  // The button texts come as a set with the label; alone they are left out.
  if (!label.isEmpty()) {
    SetDlgItemTextW(dialog, IDC_UNZIP_LABEL, wide(label.getUtf16()));
    applyTextSetting(dialog, IDC_UNZIP, "MainUnzipBtn");
    applyTextSetting(dialog, IDCANCEL, "MainCloseBtn");
    applyTextSetting(dialog, IDC_BROWSE, "MainBrowseBtn");
  }
  centerBySettings(dialog, "MainWidth", "MainHeight");
  int width = g_config.GetIntValue("MainWidth");
  int height = g_config.GetIntValue("MainHeight");
  if (width > 0 && height > 0) {
    // The two buttons follow the dialog's right edge.
    placeButton(dialog, IDC_UNZIP, width - 86, 11);
    placeButton(dialog, IDCANCEL, width - 86, 41);
  }
  g_mainDialog = dialog;
}

void endMainDialog(HWND dialog, INT_PTR result) {
  EndDialog(dialog, result);
  PostQuitMessage(0);
}

void unzipPressed(HWND dialog) {
  // A second press, or a queued Enter, while the run starts or goes on: the field it reads
  // must not change under it.
  if (runActive()) return;
  WCHAR text[512] = {};
  GetDlgItemTextW(dialog, IDC_UNZIP_DIR, text, 512);
  if (text[0] == 0) {
    MessageBoxA(dialog, "Please enter an unzip directory.", "Warning", MB_OK);
    return;
  }
  XString dir;
  dir.setUtf16(reinterpret_cast<const char16_t *>(text));
  g_config.SetValue("UnzipDir", dir.getUtf8());
  EnableWindow(GetDlgItem(dialog, IDC_UNZIP), FALSE);
  bool ok = DoUnzip(dialog);
  // The run has ended this dialog and the program; nothing more is shown.
  if (cancelRequested() && !ok) return;
  SetDlgItemTextA(dialog, IDC_RESULT, ok ? "Finished!" : "Error!");
  setOwnerProgress(dialog, 100);
  if (g_config.GetFlag("ShowFin")) showDialog(SfxDialog::Finished, dialog);
  // A setup program still running on its own has the screen now.
  if (g_launchedWithoutWait) endMainDialog(dialog, IDC_UNZIP);
}

}  // namespace

void ShowUnzipDir(HWND mainDialog, const XString &dir) {
  bool none = std::strcmp(dir.getUtf8(), "null") == 0;
  SetDlgItemTextW(mainDialog, IDC_UNZIP_DIR, none ? L"" : wide(dir.getUtf16()));
}

bool ChooseFolder(HWND mainDialog, XString &path) {
  BROWSEINFOW info{};
  info.hwndOwner = mainDialog;
  info.lpszTitle = L"Please select a folder.";
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  if (item == nullptr) return false;
  WCHAR chosen[MAX_PATH] = {};
  bool hasPath = SHGetPathFromIDListW(item, chosen) != FALSE;
  IMalloc *shellAllocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&shellAllocator))) {
    shellAllocator->Free(item);
    shellAllocator->Release();
  }
  if (hasPath) path.setUtf16(reinterpret_cast<const char16_t *>(chosen));
  return hasPath;
}

INT_PTR CALLBACK MainDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    initMainDialog(dialog);
    return TRUE;
  }
  if (isSystemClose(message, wParam)) {
    if (closeCancelsExtraction(dialog)) return TRUE;
    endMainDialog(dialog, SC_CLOSE);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDCANCEL:
      if (closeCancelsExtraction(dialog)) return TRUE;
      endMainDialog(dialog, IDCANCEL);
      return TRUE;
    case IDC_BROWSE: {
      XString path;
      if (ChooseFolder(dialog, path)) SetDlgItemTextW(dialog, IDC_UNZIP_DIR, wide(path.getUtf16()));
      return TRUE;
    }
    case IDC_UNZIP:
      unzipPressed(dialog);
      return TRUE;
  }
  return FALSE;
}
