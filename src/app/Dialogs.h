#pragma once

#include "platform/win32.h"

// The dialogs belong to the user interface above this layer; it hands their templates and
// procedures over at start-up. Without them (the Linux build, or a build without the user
// interface) every dialog fails to open, exactly as one whose template is broken.
enum class SfxDialog { Main, Password, Progress, Finished, License };

struct SfxDialogEntry {
  int templateId;
  DLGPROC procedure;
};
struct SfxDialogTable {
  SfxDialogEntry main, password, progress, finished, license;
};

void registerDialogTable(const SfxDialogTable *table);

// Runs the dialog modally; -1 when it cannot be created. Such a failure is shown to the person
// (caption "Error") before returning: nobody else would learn why nothing appeared.
INT_PTR showDialog(SfxDialog which, HWND owner);

// Ends the owner when it is a dialog; harmless on the hidden main window.
void endOwnerDialog(HWND owner, INT_PTR result);
void setOwnerProgress(HWND owner, int percent);
int showMessageBox(HWND owner, const char16_t *text, const char16_t *caption, UINT type);
void postQuitRequest();
// Every function here is carried out by the window thread, whichever thread calls it.
