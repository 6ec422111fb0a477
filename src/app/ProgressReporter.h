#pragma once

#include <cstdint>

#include "compress/SaProgress.h"
#include "platform/win32.h"

// Moves the owner's progress bar with the payload bytes the reader has consumed, out of the
// whole payload (marker to end of file). Notified on the run thread; it only posts, at most ten
// times a second, so the window thread draws when it gets to it. One per extraction.
class ProgressReporter : public SaProgress {
 public:
  ProgressReporter(HWND owner, int64_t payloadSize, int64_t consumedBefore);
  void progress(uint32_t consumed, uint32_t produced) override;
  int lastPosted() const { return m_lastPosted; }

 private:
  HWND m_owner;
  HWND m_bar;
  int64_t m_total;
  int64_t m_consumed;
  int m_lastPosted = -1;
  DWORD m_lastTick = 0;
};

// Posted to the hidden main window with the percentage in wParam and the owner in lParam.
constexpr UINT kTaskbarProgressMessage = WM_APP + 2;

// The taskbar button's progress, where the system has one: the user interface hands its
// implementation over at start-up; without it nothing happens.
using TaskbarProgressFn = void (*)(HWND owner, int percent);
void registerTaskbarProgress(TaskbarProgressFn show);
// Window thread, from the hidden window's procedure.
void showTaskbarProgress(HWND owner, int percent);
