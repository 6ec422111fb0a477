#include <shobjidl.h>

#include "ui/UserInterface.h"

namespace {

// Spelled out here: the import library that carries them would be one more dependency.
const CLSID kTaskbarListClass = {0x56FDF344, 0xFD6D, 0x11d0, {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};
const IID kTaskbarList3Interface = {0xea1afb91, 0x9e28, 0x4b86, {0x90, 0xe9, 0x9e, 0x9f, 0x8a, 0x5e, 0xef, 0xaf}};

// Asked for once, on the window thread, and kept to the end of the process; null where the
// system has no such taskbar (before Windows 7).
ITaskbarList3 *taskbar() {
  static bool asked = false;
  static ITaskbarList3 *list = nullptr;
  if (asked) return list;
  asked = true;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  void *found = nullptr;
  if (FAILED(CoCreateInstance(kTaskbarListClass, nullptr, CLSCTX_INPROC_SERVER, kTaskbarList3Interface, &found))) {
    return nullptr;
  }
  list = static_cast<ITaskbarList3 *>(found);
  if (FAILED(list->HrInit())) {
    list->Release();
    list = nullptr;
  }
  return list;
}

}  // namespace

void showTaskbarButtonProgress(HWND window, int percent) {
  ITaskbarList3 *list = taskbar();
  if (list == nullptr || window == nullptr) return;
  list->SetProgressState(window, TBPF_NORMAL);
  list->SetProgressValue(window, ULONGLONG(percent), 100);
}
