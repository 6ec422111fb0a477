// The desktop stand-in exists only in the Linux build; on Windows these are the real user32
// calls, which a test must not drive blindly.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"

namespace {
int paints = 0;
LRESULT countingProcedure(HWND, UINT message, WPARAM, LPARAM) {
  if (message == WM_PAINT) ++paints;
  return 0;
}
}  // namespace

TEST(Windows, MessageBoxesGoToStderrAndAnswerOk) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "Failed to find marker.", "Error", MB_OK), IDOK);
  const char16_t text[] = u"Incorrect password \u00e9.";
  EXPECT_EQ(MessageBoxW(nullptr, text, u"Warning", MB_OK), IDOK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Failed to find marker.\nWarning: Incorrect password \xc3\xa9.\n");
}

TEST(Windows, HiddenWindowButNoDialogs) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = countingProcedure;
  wc.lpszClassName = u"SELFEXTRACT";
  EXPECT_NE(RegisterClassExW(&wc), 0);
  HWND window = CreateWindowExW(0, u"SELFEXTRACT", u"", WS_POPUP, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(129), window, nullptr, 0), -1);
  EXPECT_EQ(GetDlgItem(window, 1001), nullptr);
  EXPECT_FALSE(EnableWindow(GetDlgItem(window, 1001), FALSE));

  MSG paint{};
  paint.hwnd = window;
  paint.message = WM_PAINT;
  DispatchMessageA(&paint);
  EXPECT_EQ(paints, 1);

  char16_t title[100] = {u'x'};
  EXPECT_EQ(LoadStringW(nullptr, 103, title, 100), 0);
  EXPECT_EQ(title[0], 0);
}

TEST(Windows, MessageLoopEndsAtTheQuitRequestAndNeverWaits) {
  MSG msg;
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1);  // nothing can arrive: no waiting
  PostQuitMessage(7);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1);  // the request was consumed
}
#endif

#ifndef _WIN32
#include <thread>

// The run thread posts to the hidden window while the window thread waits for messages.
TEST(Windows, PostedMessagesWakeTheWaitAndComeOutInOrderBeforeTheQuit) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = countingProcedure;
  RegisterClassExW(&wc);
  HWND window = CreateWindowExW(0, u"", u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(&wc), WM_NULL, 0, 0));  // no such window here

  std::thread poster([window] {
    for (WPARAM i = 1; i <= 3; ++i) PostMessageA(window, WM_APP, i, LPARAM(i * 10));
  });
  MSG msg;
  WPARAM expected = 1;
  while (expected <= 3) {
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT), WAIT_OBJECT_0);
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      EXPECT_EQ(msg.hwnd, window);
      EXPECT_EQ(msg.message, WM_APP);
      EXPECT_EQ(msg.wParam, expected);
      EXPECT_EQ(msg.lParam, LPARAM(expected * 10));
      ++expected;
    }
  }
  poster.join();
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT), DWORD(WAIT_TIMEOUT));

  PostQuitMessage(3);
  PostMessageA(window, WM_APP, 9, 0);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);  // what was posted comes first
  EXPECT_EQ(msg.wParam, 9u);
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}
#endif
