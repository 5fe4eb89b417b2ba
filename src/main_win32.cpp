// The Windows process entry: a GUI-subsystem program.
#ifndef _WIN32
#error "main_win32.cpp is for Windows builds only"
#endif

#include <windows.h>

#include <cstdlib>

#include "Tarvik.h"
#include "os/Win32Platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  static tarvik::Win32Platform platform;
  tarvik::setPlatform(&platform);
  // The C runtime's parsed argument vector, element 0 as started.
  std::vector<std::string> argv(__argv, __argv + __argc);
  return tarvik::runLauncher(argv);
}
