// Windows, dialogs and message boxes without a desktop. The program uses them for the automatic
// mode only as owners and for messages, so each call does the least that keeps that mode
// honest: messages reach the person at the terminal, and nothing ever waits for a click.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>

#include "platform/posix/text.h"
#include "platform/win32.h"

namespace {

// The one stand-in window: its address is its handle.
struct StandInWindow {
  WNDPROC procedure;
};
StandInWindow theWindow{nullptr};

// The stand-in window's queue. Any thread posts; the thread that created the window reads.
// Never destroyed: a thread may still post while the process exits.
struct MessageQueue {
  std::mutex lock;
  std::condition_variable posted;
  std::deque<MSG> messages;
  bool quitRequested = false;
  int quitCode = 0;
};
MessageQueue &queue() {
  static MessageQueue *q = new MessageQueue;
  return *q;
}

// The next message, or the quit request once the queue is empty; false when there is neither.
bool takeMessage(MSG &msg) {
  MessageQueue &q = queue();
  std::lock_guard<std::mutex> hold(q.lock);
  msg = MSG{};
  if (!q.messages.empty()) {
    msg = q.messages.front();
    q.messages.pop_front();
    return true;
  }
  if (!q.quitRequested) return false;
  q.quitRequested = false;
  msg.message = WM_QUIT;
  msg.wParam = WPARAM(q.quitCode);
  return true;
}

int writeMessage(const std::string &text, const std::string &caption) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  return IDOK;
}

}  // namespace

// Written to stderr as "caption: text"; the answer is always OK.
int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
  return writeMessage(text ? text : "", caption ? caption : "Error");
}

int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
  return writeMessage(posix::toUtf8(text), caption ? posix::toUtf8(caption) : "Error");
}

int LoadStringW(HINSTANCE, UINT, LPWSTR buffer, int bufferMax) {
  if (buffer != nullptr && bufferMax > 0) buffer[0] = 0;
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return 0;
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR) { return nullptr; }

// Any class registers; only the last window procedure matters, for the one window there is.
ATOM RegisterClassExW(const WNDCLASSEXW *windowClass) {
  if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  theWindow.procedure = windowClass->lpfnWndProc;
  return 0xC000;
}

// A hidden window that exists only to own message boxes; it never receives a message.
HWND CreateWindowExW(DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) {
  return &theWindow;
}

INT_PTR DialogBoxParamW(HINSTANCE, LPCWSTR, HWND, DLGPROC, LPARAM) {
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return -1;
}

BOOL EndDialog(HWND, INT_PTR) {
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return FALSE;
}

void PostQuitMessage(int exitCode) {
  MessageQueue &q = queue();
  std::lock_guard<std::mutex> hold(q.lock);
  q.quitRequested = true;
  q.quitCode = exitCode;
  q.posted.notify_all();
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != &theWindow) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  MessageQueue &q = queue();
  std::lock_guard<std::mutex> hold(q.lock);
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  q.messages.push_back(msg);
  q.posted.notify_all();
  return TRUE;
}

BOOL PeekMessageA(LPMSG msg, HWND, UINT, UINT, UINT remove) {
  if (msg == nullptr || remove != PM_REMOVE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return takeMessage(*msg) ? TRUE : FALSE;
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE *, BOOL, DWORD milliseconds, DWORD) {
  if (count != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0xFFFFFFFF;
  }
  MessageQueue &q = queue();
  std::unique_lock<std::mutex> hold(q.lock);
  auto ready = [&q] { return !q.messages.empty() || q.quitRequested; };
  if (milliseconds == INFINITE) {
    q.posted.wait(hold, ready);
    return WAIT_OBJECT_0;
  }
  return q.posted.wait_for(hold, std::chrono::milliseconds(milliseconds), ready) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL IsDialogMessageA(HWND, LPMSG) { return FALSE; }

BOOL ShutdownBlockReasonCreate(HWND, LPCWSTR) { return TRUE; }
BOOL ShutdownBlockReasonDestroy(HWND) { return TRUE; }

// 1 with the next queued message; 0 with WM_QUIT once a quit was requested (the request is then
// consumed); otherwise -1: with nothing queued no message can arrive on this thread alone, and
// a loop must not wait for one.
BOOL GetMessageA(LPMSG msg, HWND, UINT, UINT) {
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (!takeMessage(*msg)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  return msg->message == WM_QUIT ? 0 : 1;
}

BOOL TranslateMessage(const MSG *) { return FALSE; }

LRESULT DispatchMessageA(const MSG *msg) {
  if (msg == nullptr || msg->hwnd != &theWindow || theWindow.procedure == nullptr) return 0;
  return theWindow.procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }

HWND GetDlgItem(HWND, int) {
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

BOOL EnableWindow(HWND, BOOL) { return FALSE; }

LRESULT SendMessageA(HWND, UINT, WPARAM, LPARAM) { return 0; }
