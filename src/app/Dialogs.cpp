#include "app/Dialogs.h"

#include "app/AppState.h"
#include "app/Messages.h"
#include "app/ProgressReporter.h"
#include "app/RunThread.h"

namespace {
const SfxDialogTable *s_table = nullptr;

const SfxDialogEntry *entryFor(SfxDialog which) {
  if (s_table == nullptr) return nullptr;
  switch (which) {
    case SfxDialog::Main: return &s_table->main;
    case SfxDialog::Password: return &s_table->password;
    case SfxDialog::Progress: return &s_table->progress;
    case SfxDialog::Finished: return &s_table->finished;
    case SfxDialog::License: return &s_table->license;
  }
  return nullptr;
}

const char *nameOf(SfxDialog which) {
  switch (which) {
    case SfxDialog::Main: return "main";
    case SfxDialog::Password: return "password";
    case SfxDialog::Progress: return "progress";
    case SfxDialog::Finished: return "finished";
    case SfxDialog::License: return "license";
  }
  return "";
}

INT_PTR showDialogHere(SfxDialog which, HWND owner) {
  const SfxDialogEntry *entry = entryFor(which);
  INT_PTR result = -1;
  if (entry != nullptr && entry->procedure != nullptr) {
    result = DialogBoxParamW(g_instance, MAKEINTRESOURCEW(entry->templateId), owner, entry->procedure, 0);
  }
  if (result == -1) {
    StringBuffer text;
    text.append("Failed to create the ");
    text.append(nameOf(which));
    text.append(" dialog.");
    showMessage(owner, text.getText(), "Error");
  }
  return result;
}
}  // namespace

void registerDialogTable(const SfxDialogTable *table) { s_table = table; }

INT_PTR showDialog(SfxDialog which, HWND owner) {
  INT_PTR result = -1;
  onWindowThread([&] { result = showDialogHere(which, owner); });
  return result;
}

void endOwnerDialog(HWND owner, INT_PTR result) {
  onWindowThread([&] { EndDialog(owner, result); });
}

void setOwnerProgress(HWND owner, int percent) {
  onWindowThread([&] {
    HWND bar = GetDlgItem(owner, kProgressBarId);
    if (bar != nullptr) SendMessageA(bar, PBM_SETPOS, WPARAM(percent), 0);
    showTaskbarProgress(owner, percent);
  });
}

int showMessageBox(HWND owner, const char16_t *text, const char16_t *caption, UINT type) {
  int answer = 0;
  onWindowThread([&] { answer = MessageBoxW(owner, wide(text), wide(caption), type); });
  return answer;
}

// The quit request belongs to the thread whose loops it ends.
void postQuitRequest() {
  onWindowThread([] { PostQuitMessage(0); });
}

