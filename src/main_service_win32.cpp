// The Windows process entry of the service launcher, tarvikd.exe: a
// console-subsystem program with a wide entry. Its words manage the
// service from a console; the service control manager starts it without
// one, and the dispatcher tells it so.
#ifndef _WIN32
#error "main_service_win32.cpp is for Windows builds only"
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
  tarvik::options().serviceLauncher = true;
  return tarvik::runLauncher(tarvik::win32ModuleArguments(argc, argv));
}
