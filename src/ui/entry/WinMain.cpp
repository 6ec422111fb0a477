// The Windows entry point of sfx.exe.
#include "app/Startup.h"
#include "ui/UserInterface.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  restrictDllSearch();
  installUserInterface();
  return SfxWinMain(instance, previous, commandLine, show);
}
