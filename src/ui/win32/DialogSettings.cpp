#include "app/AppState.h"
#include "app/SfxConfig.h"
#include "base/XString.h"
#include "ui/UserInterface.h"

void CenterWindow(HWND dialog, int width, int height) {
  RECT desktop{}, current{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(dialog, &current);
  // Centred on the size it had before: a resized dialog sits where the template would have.
  int x = desktop.left + (desktop.right - desktop.left - (current.right - current.left)) / 2;
  int y = desktop.top + (desktop.bottom - desktop.top - (current.bottom - current.top)) / 2;
  // A negative size would make the dialog vanish; such a setting is ignored like a zero.
  if (width > 0 && height > 0) {
    MoveWindow(dialog, x, y, width, height, TRUE);
  } else {
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
}

void applyTitleSetting(HWND dialog, const char *key) {
  XString text;
  g_config.GetValue(key, text);
  if (!text.isEmpty()) SetWindowTextW(dialog, wide(text.getUtf16()));
}

void applyTextSetting(HWND dialog, int controlId, const char *key) {
  XString text;
  g_config.GetValue(key, text);
  if (!text.isEmpty()) SetDlgItemTextW(dialog, controlId, wide(text.getUtf16()));
}

void centerBySettings(HWND dialog, const char *widthKey, const char *heightKey) {
  CenterWindow(dialog, g_config.GetIntValue(widthKey), g_config.GetIntValue(heightKey));
}
