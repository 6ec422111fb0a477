// The hidden window's companions: the four dialogs and what they share. Windows only.
#pragma once

#include "platform/win32.h"

class XString;

INT_PTR CALLBACK MainDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PasswordDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FinishedDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Ends with IDOK when the license was accepted, IDCANCEL or SC_CLOSE when it was declined.
INT_PTR CALLBACK LicenseDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Centres the dialog on the desktop by its current size; gives it width x height pixels when
// both are positive.
void CenterWindow(HWND dialog, int width, int height);
// The text "null" stands for no directory and shows an empty field.
void ShowUnzipDir(HWND mainDialog, const XString &dir);
// True when a folder with a file-system path was picked.
bool ChooseFolder(HWND mainDialog, XString &path);

// Setting overrides: each applies only when the setting is set.
void applyTitleSetting(HWND dialog, const char *key);
void applyTextSetting(HWND dialog, int controlId, const char *key);
void centerBySettings(HWND dialog, const char *widthKey, const char *heightKey);

// A dialog's title-bar close (or Alt+F4) arrives as this system command.
inline bool isSystemClose(UINT message, WPARAM wParam) {
  return message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE;
}

// While entries are being extracted, closing a dialog asks whether to cancel the extraction
// (and cancels on Yes) instead of closing it; at any other moment of a run it stops the run at
// its next step, which then ends the dialog. True when the dialog is not to close itself.
bool closeCancelsExtraction(HWND dialog);

// The taskbar button's progress, where the system offers it (Windows 7 and later).
void showTaskbarButtonProgress(HWND window, int percent);

// Keeps a DLL planted next to the downloaded program from ever being loaded. Call first.
void restrictDllSearch();
// Common controls and the dialog procedures, handed to the application before it starts.
void installUserInterface();
