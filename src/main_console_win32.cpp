// The Windows process entry of the console launcher, tarvikc.exe: a
// console-subsystem program with a wide entry, so that it shares the
// console it is started from and its path and arguments arrive whole.
#ifndef _WIN32
#error "main_console_win32.cpp is for Windows builds only"
#endif

#include <windows.h>

#include "LaunchSettings.h"
#include "Tarvik.h"
#include "os/Win32Platform.h"

int wmain(int argc, wchar_t** argv) {
  // Never destroyed: exit-time handlers may still write through it.
  static tarvik::Platform* platform = tarvik::makeWin32Platform().release();
  tarvik::setPlatform(platform);
  tarvik::options().kind = tarvik::LauncherKind::Console;
  return tarvik::runLauncher(tarvik::win32ModuleArguments(argc, argv));
}
