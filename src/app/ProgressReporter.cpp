#include "app/ProgressReporter.h"

#include "app/AppState.h"
#include "compress/ProgressMonitor.h"

namespace {
constexpr DWORD kMinIntervalMs = 100;
TaskbarProgressFn s_taskbar = nullptr;
}  // namespace

ProgressReporter::ProgressReporter(HWND owner, int64_t payloadSize, int64_t consumedBefore)
    : m_owner(owner),
      m_bar(owner != nullptr ? GetDlgItem(owner, kProgressBarId) : nullptr),
      m_total(payloadSize),
      m_consumed(consumedBefore > 0 ? consumedBefore : 0) {}

void ProgressReporter::progress(uint32_t consumed, uint32_t) {
  m_consumed += consumed;
  int percent = int(ProgressMonitor::percentOf(m_consumed > m_total ? m_total : m_consumed, m_total));
  // The run draws 100 itself once everything is written and checked.
  if (percent >= 100) percent = 99;
  if (percent <= m_lastPosted) return;
  DWORD now = GetTickCount();
  if (m_lastPosted >= 0 && now - m_lastTick < kMinIntervalMs) return;
  m_lastPosted = percent;
  m_lastTick = now;
  if (m_bar != nullptr) PostMessageA(m_bar, PBM_SETPOS, WPARAM(percent), 0);
  PostMessageA(g_hiddenWindow, kTaskbarProgressMessage, WPARAM(percent), reinterpret_cast<LPARAM>(m_owner));
}

void registerTaskbarProgress(TaskbarProgressFn show) { s_taskbar = show; }

void showTaskbarProgress(HWND owner, int percent) {
  if (s_taskbar != nullptr) s_taskbar(owner, percent);
}
