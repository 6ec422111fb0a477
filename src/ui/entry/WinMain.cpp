// The Windows entry point of sfx.exe.
#include "app/Startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  return SfxWinMain(instance, previous, commandLine, show);
}
