// Windows, dialogs and message boxes without a desktop. The program uses them for the automatic
// mode only as owners and for messages, so each call does the least that keeps that mode
// honest: messages reach the person at the terminal, and nothing ever waits for a click.
#include <cstdio>
#include <string>

#include "platform/posix/text.h"
#include "platform/win32.h"

namespace {

// The one stand-in window: its address is its handle.
struct StandInWindow {
  WNDPROC procedure;
};
StandInWindow theWindow{nullptr};
bool quitRequested = false;
int quitCode = 0;

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
  quitRequested = true;
  quitCode = exitCode;
}

// 0 with WM_QUIT once a quit was requested (the request is then consumed); otherwise -1: no
// message can ever arrive, and a loop must not wait for one.
BOOL GetMessageA(LPMSG msg, HWND, UINT, UINT) {
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  *msg = MSG{};
  if (!quitRequested) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  quitRequested = false;
  msg->message = WM_QUIT;
  msg->wParam = WPARAM(quitCode);
  return 0;
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
