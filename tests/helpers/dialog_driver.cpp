// Drives another program's dialogs under Wine the way Windows test tools do: by window titles,
// control ids and posted messages, so that no window manager or mouse is involved. Each
// argument is one step; steps run in order and print what they read on lines of their own.
//   wait TITLE          wait until a top-level window with that title exists; it becomes current
//   gone TITLE          wait until no window with that title is left
//   waitnew TITLE       wait for another window of that title than the current one (a dialog
//                       shown again); it becomes current
//   set ID TEXT         SetDlgItemTextW on the current window
//   get ID              print the control's text
//   waittext ID TEXT    wait until the control shows TEXT
//   press ID            post a button's WM_COMMAND (posted: the handler may open nested dialogs)
//   close               close the current window through its system menu
//   answer CAPTION      wait for a message box, print its text (static 0xFFFF), press OK
//   answerall CAPTION QUIET_MS  answer such boxes until none appeared for QUIET_MS
//   size                print the current window's width and height in pixels
//   pos ID              print a control's x, y, width and height in the window's client area
//   progress ID         print a progress bar's position
//   watch ID TEXT       until control ID shows TEXT (ID 0: until the window is hidden or gone), send the
//                       window WM_NULL every 20 ms with a 250 ms timeout, as Windows' hang test
//                       does; print "unanswered MS" (the longest time without an answer) and
//                       "positions P..." (the distinct positions of progress bar 1008 seen)
//   waitbar MIN MAX     wait until progress bar 1008 is strictly between MIN and MAX
//   yes CAPTION / no CAPTION   like answer, for a Yes/No box
//   gonewithin MS TITLE wait at most MS for the window to go; print how long it took
//   waitsize PATH BYTES wait until the file holds at least BYTES
//   closeclass CLASS    post WM_CLOSE to the top-level window of that class (visible or not)
//   endsession CLASS    send that window WM_QUERYENDSESSION, print its answer, then
//                       WM_ENDSESSION (a log-off) and print how many ms it took to return
//   lines ID            print an edit's line count and its first visible line
//   pagedown ID         scroll an edit down by a page (as a click in its scroll bar does)
//   resize W H          give the current window that size in pixels
//   launch COMMAND_LINE start a program with this driver's standard handles and, until it ends,
//                       look at every top-level window of its process every 10 ms; print a line
//                       "window CLASS|TITLE|shown" (or "|hidden": never visible) per window seen,
//                       then "exit CODE" with the whole 32-bit code (Wine's Unix side sees its
//                       low byte only). A program still running after 30 s is ended, its windows
//                       printed, and the driver fails as any wait does.
// Every wait gives up after 30 s with exit code 3, so a dialog that never comes fails a test
// instead of hanging it.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Generous: with two Wine scenarios side by side on two processors, a dialog once took more
// than 20 s to appear.
constexpr DWORD kWaitLimitMs = 30000;
// A run through a gigabyte under Wine takes a while.
constexpr DWORD kWatchLimitMs = 180000;
constexpr int kBarId = 1008;
HWND g_current = nullptr;

std::wstring widen(const char *utf8) {
  wchar_t buffer[4096] = {};
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, buffer, 4096);
  return buffer;
}

void printWide(const wchar_t *text) {
  char utf8[8192] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  std::printf("%s\n", utf8);
  std::fflush(stdout);
}

[[noreturn]] void giveUp(const char *what, const char *argument) {
  std::printf("TIMEOUT %s %s\n", what, argument);
  std::fflush(stdout);
  std::exit(3);
}

HWND waitForWindow(const char *title, HWND other) {
  std::wstring wanted = widen(title);
  for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitLimitMs; Sleep(50)) {
    HWND window = FindWindowW(nullptr, wanted.c_str());
    if (window != nullptr && window != other && IsWindowVisible(window)) return window;
  }
  giveUp("wait", title);
}

void waitGone(const char *title) {
  std::wstring wanted = widen(title);
  for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitLimitMs; Sleep(50)) {
    if (FindWindowW(nullptr, wanted.c_str()) == nullptr) return;
  }
  giveUp("gone", title);
}

void waitText(int id, const char *text) {
  std::wstring wanted = widen(text);
  for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitLimitMs; Sleep(50)) {
    wchar_t shown[2048] = {};
    GetDlgItemTextW(g_current, id, shown, 2048);
    if (wanted == shown) return;
  }
  giveUp("waittext", text);
}

// Asked with a time limit, so that a window that does not answer cannot stall the driver.
bool askWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR &result) {
  return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 250, &result) != 0;
}

int barPosition(HWND window) {
  DWORD_PTR position = 0;
  HWND bar = GetDlgItem(window, kBarId);
  if (bar == nullptr || !askWithin(bar, PBM_GETPOS, 0, 0, position)) return -1;
  return int(position);
}

void watch(int id, const char *text) {
  HWND window = g_current;
  std::wstring wanted = widen(text);
  std::vector<int> positions;
  DWORD start = GetTickCount(), lastAnswer = start, longest = 0;
  // An ended dialog stays hidden until its handler returns (it may own a dialog shown next).
  while (IsWindow(window) && IsWindowVisible(window)) {
    DWORD_PTR result = 0;
    if (askWithin(window, WM_NULL, 0, 0, result)) lastAnswer = GetTickCount();
    DWORD silent = GetTickCount() - lastAnswer;
    if (silent > longest && IsWindowVisible(window)) longest = silent;
    int position = barPosition(window);
    if (position >= 0 && (positions.empty() || positions.back() != position)) positions.push_back(position);
    if (id != 0) {
      wchar_t shown[2048] = {};
      HWND control = GetDlgItem(window, id);
      if (control != nullptr && askWithin(control, WM_GETTEXT, 2048, LPARAM(shown), result) && wanted == shown) break;
    }
    if (GetTickCount() - start > kWatchLimitMs) giveUp("watch", text);
    // Often enough to see the bar move through a run that lasts a few tenths of a second: the
    // run of a payload of zeros takes about 0.3 s per GB under Wine.
    Sleep(5);
  }
  std::printf("unanswered %lu\n", longest);
  std::printf("positions");
  for (int p : positions) std::printf(" %d", p);
  std::printf("\n");
}

void waitBar(int low, int high) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kWatchLimitMs; Sleep(20)) {
    int position = barPosition(g_current);
    if (position > low && position < high) return;
  }
  giveUp("waitbar", "");
}

void waitSize(const char *path, unsigned long long bytes) {
  std::wstring wanted = widen(path);
  for (DWORD start = GetTickCount(); GetTickCount() - start < kWatchLimitMs; Sleep(10)) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(wanted.c_str(), GetFileExInfoStandard, &data) &&
        ((unsigned long long)data.nFileSizeHigh << 32 | data.nFileSizeLow) >= bytes) {
      return;
    }
  }
  giveUp("waitsize", path);
}

void waitGoneWithin(DWORD limitMs, const char *title) {
  std::wstring wanted = widen(title);
  DWORD start = GetTickCount();
  while (FindWindowW(nullptr, wanted.c_str()) != nullptr) {
    if (GetTickCount() - start > limitMs) giveUp("gonewithin", title);
    Sleep(10);
  }
  std::printf("%lu\n", GetTickCount() - start);
}

// Message boxes are dialogs too; their text is the static control 0xFFFF.
bool answerBox(const char *caption, bool mustAppear, int button = IDOK) {
  std::wstring wanted = widen(caption);
  for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitLimitMs; Sleep(50)) {
    HWND box = FindWindowW(L"#32770", wanted.c_str());
    if (box == nullptr || GetDlgItem(box, 0xFFFF) == nullptr) continue;
    wchar_t text[2048] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 2048);
    printWide(text);
    PostMessageW(box, WM_COMMAND, button, 0);
    // Not gone yet, the box would be answered twice.
    while (IsWindow(box)) Sleep(20);
    return true;
  }
  if (mustAppear) giveUp("answer", caption);
  return false;
}

void answerAll(const char *caption, DWORD quietMs) {
  std::wstring wanted = widen(caption);
  for (DWORD lastSeen = GetTickCount(); GetTickCount() - lastSeen < quietMs; Sleep(50)) {
    HWND box = FindWindowW(L"#32770", wanted.c_str());
    if (box == nullptr) continue;
    wchar_t text[2048] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 2048);
    printWide(text);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    while (IsWindow(box)) Sleep(20);
    lastSeen = GetTickCount();
  }
}

void press(int id) {
  HWND control = GetDlgItem(g_current, id);
  PostMessageW(g_current, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(control));
}

struct SeenWindow {
  HWND handle;
  std::wstring className;
  std::wstring title;
  bool shown;
};

struct WindowScan {
  DWORD processId;
  std::vector<SeenWindow> seen;
};

BOOL CALLBACK noteWindow(HWND window, LPARAM context) {
  WindowScan &scan = *reinterpret_cast<WindowScan *>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != scan.processId) return TRUE;
  const bool shown = IsWindowVisible(window) != FALSE;
  for (SeenWindow &known : scan.seen) {
    if (known.handle == window) {
      known.shown = known.shown || shown;
      return TRUE;
    }
  }
  wchar_t className[256] = {}, title[512] = {};
  // A window destroyed between the enumeration and this look has no class left to read; it is
  // noted on the next scan if it still exists, and never as a nameless window of its own.
  if (GetClassNameW(window, className, 256) == 0) return TRUE;
  GetWindowTextW(window, title, 512);
  scan.seen.push_back({window, className, title, shown});
  return TRUE;
}

void printWindows(const WindowScan &scan) {
  for (const SeenWindow &w : scan.seen) {
    std::wstring line = L"window " + w.className + L"|" + w.title + (w.shown ? L"|shown" : L"|hidden");
    printWide(line.c_str());
  }
}

void launchAndWatch(const char *commandLine) {
  std::wstring line = widen(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  const DWORD standard[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE *slots[] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
  for (int i = 0; i < 3; ++i) {
    *slots[i] = GetStdHandle(standard[i]);
    SetHandleInformation(*slots[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  }
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    std::printf("cannot start (error %lu)\n", GetLastError());
    std::exit(2);
  }
  WindowScan scan{process.dwProcessId, {}};
  const DWORD start = GetTickCount();
  while (WaitForSingleObject(process.hProcess, 10) == WAIT_TIMEOUT) {
    EnumWindows(noteWindow, LPARAM(&scan));
    if (GetTickCount() - start > kWaitLimitMs) {
      TerminateProcess(process.hProcess, 3);
      printWindows(scan);
      giveUp("launch", commandLine);
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  printWindows(scan);
  std::printf("exit %lu\n", code);
}

void printPosition(int id) {
  RECT rect{};
  GetWindowRect(GetDlgItem(g_current, id), &rect);
  MapWindowPoints(nullptr, g_current, reinterpret_cast<POINT *>(&rect), 2);
  std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    std::string step = argv[i];
    auto next = [&]() -> const char * {
      if (i + 1 >= argc) std::exit(2);
      return argv[++i];
    };
    if (step == "wait") {
      g_current = waitForWindow(next(), nullptr);
    } else if (step == "waitnew") {
      g_current = waitForWindow(next(), g_current);
    } else if (step == "gone") {
      waitGone(next());
    } else if (step == "set") {
      int id = std::atoi(next());
      SetDlgItemTextW(g_current, id, widen(next()).c_str());
    } else if (step == "get") {
      wchar_t text[2048] = {};
      GetDlgItemTextW(g_current, std::atoi(next()), text, 2048);
      printWide(text);
    } else if (step == "waittext") {
      int id = std::atoi(next());
      waitText(id, next());
    } else if (step == "press") {
      press(std::atoi(next()));
    } else if (step == "close") {
      PostMessageW(g_current, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (step == "answer") {
      answerBox(next(), true);
    } else if (step == "answerall") {
      const char *caption = next();
      answerAll(caption, DWORD(std::atoi(next())));
    } else if (step == "size") {
      RECT rect{};
      GetWindowRect(g_current, &rect);
      std::printf("%ld %ld\n", rect.right - rect.left, rect.bottom - rect.top);
    } else if (step == "pos") {
      printPosition(std::atoi(next()));
    } else if (step == "watch") {
      int id = std::atoi(next());
      watch(id, next());
    } else if (step == "waitbar") {
      int low = std::atoi(next());
      waitBar(low, std::atoi(next()));
    } else if (step == "yes" || step == "no") {
      answerBox(next(), true, step == "yes" ? IDYES : IDNO);
    } else if (step == "gonewithin") {
      DWORD limit = DWORD(std::atoi(next()));
      waitGoneWithin(limit, next());
    } else if (step == "waitsize") {
      const char *path = next();
      waitSize(path, std::strtoull(next(), nullptr, 10));
    } else if (step == "closeclass") {
      HWND window = FindWindowW(widen(next()).c_str(), nullptr);
      if (window == nullptr) giveUp("closeclass", "");
      PostMessageW(window, WM_CLOSE, 0, 0);
    } else if (step == "endsession") {
      HWND window = FindWindowW(widen(next()).c_str(), nullptr);
      if (window == nullptr) giveUp("endsession", "");
      DWORD_PTR answer = 0;
      SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, kWaitLimitMs, &answer);
      std::printf("query %d\n", int(answer));
      DWORD start = GetTickCount();
      SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, kWaitLimitMs, &answer);
      std::printf("endsession %lu\n", static_cast<unsigned long>(GetTickCount() - start));
    } else if (step == "launch") {
      launchAndWatch(next());
    } else if (step == "progress") {
      std::printf("%d\n", int(SendDlgItemMessageW(g_current, std::atoi(next()), PBM_GETPOS, 0, 0)));
    } else if (step == "lines") {
      HWND edit = GetDlgItem(g_current, std::atoi(next()));
      std::printf("%d %d\n", int(SendMessageW(edit, EM_GETLINECOUNT, 0, 0)),
                  int(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0)));
    } else if (step == "pagedown") {
      SendMessageW(GetDlgItem(g_current, std::atoi(next())), WM_VSCROLL, SB_PAGEDOWN, 0);
    } else if (step == "resize") {
      int width = std::atoi(next());
      SetWindowPos(g_current, nullptr, 0, 0, width, std::atoi(next()), SWP_NOMOVE | SWP_NOZORDER);
    } else {
      std::fprintf(stderr, "unknown step %s\n", step.c_str());
      return 2;
    }
    std::fflush(stdout);
  }
  return 0;
}
