// The Windows process entry: a GUI-subsystem program with a wide entry, so
// that its path and arguments arrive whole whatever the code page.
#ifndef _WIN32
#error "main_win32.cpp is for Windows builds only"
#endif

#include <windows.h>

#include <cstdlib>

#include "Tarvik.h"
#include "os/Win32Platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  // Never destroyed: exit-time handlers may still write through it.
  static tarvik::Platform* platform = tarvik::makeWin32Platform().release();
  tarvik::setPlatform(platform);
  // The C runtime's parsed argument vector, element 0 as started; the
  // configuration is read beside the program's own file.
  return tarvik::runLauncher(tarvik::win32Arguments(__argc, __wargv),
                             tarvik::win32ModulePath());
}
