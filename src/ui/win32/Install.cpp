#include "app/Dialogs.h"
#include "app/ProgressReporter.h"
#include "ui/UserInterface.h"
#include "ui/resource.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

void restrictDllSearch() {
  // Looked up at run time: Windows 7 without its 2011 loader update lacks it.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI *)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC found = kernel != nullptr ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
  if (found != nullptr) {
    reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void *>(found))(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Takes the current directory out of the search order where the call above is missing.
  SetDllDirectoryW(L"");
}

void installUserInterface() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);
  static const SfxDialogTable table = {{IDD_MAIN, MainDlgProc},
                                       {IDD_PASSWORD, PasswordDlgProc},
                                       {IDD_PROGRESS, ProgressDlgProc},
                                       {IDD_FINISHED, FinishedDlgProc},
                                       {IDD_LICENSE, LicenseDlgProc}};
  registerDialogTable(&table);
  registerTaskbarProgress(showTaskbarButtonProgress);
}
