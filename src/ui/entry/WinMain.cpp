// The Windows entry point of sfx.exe.
#include "app/CommandLine.h"
#include "app/Startup.h"
#include "base/XString.h"
#include "ui/UserInterface.h"

// The 8-bit command line WinMain is handed has lost every character outside the ANSI code
// page; the wide one is what was typed.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int show) {
  restrictDllSearch();
  installUserInterface();
  XString commandLine;
  commandLine.setUtf16(reinterpret_cast<const char16_t *>(GetCommandLineW()));
  return SfxWinMain(instance, previous, skipProgramName(commandLine.getUtf8()), show);
}
