// Answers the message boxes of another program under Wine: waits for a window with the given
// caption, prints the text of its static control (id 0xFFFF) on a line of its own and presses
// OK; repeats until no such window appeared for the given number of milliseconds.
//   press_ok CAPTION QUIET_MS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char **argv) {
  if (argc < 3) return 2;
  std::wstring caption(argv[1], argv[1] + std::strlen(argv[1]));
  DWORD quiet = DWORD(std::atoi(argv[2]));
  DWORD lastSeen = GetTickCount();
  while (GetTickCount() - lastSeen < quiet) {
    HWND box = FindWindowW(L"#32770", caption.c_str());
    if (box == nullptr) {
      Sleep(50);
      continue;
    }
    wchar_t text[2048] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 2048);
    char utf8[8192] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("%s\n", utf8);
    std::fflush(stdout);
    SendMessageW(box, WM_COMMAND, IDOK, 0);
    Sleep(100);
    lastSeen = GetTickCount();
  }
  return 0;
}
